#pragma once

#include <QString>

// url.dat: the data URL on line 1 and the proxy on line 2.
namespace UrlFile {

struct Values
{
    QString url;
    QString proxy;
    int fieldsRead = 0;
};

QString path(const QString &appDir);

// Reads the two fields into values; on a failure values keeps what was read
// before it, and the failure is thrown.
void read(const QString &appDir, Values &values);

// Whether a value comes back exactly from the file. A value that the field
// rule would split or trim is written between double quotes; one that would
// need them but holds a double quote, or begins with one, cannot be carried.
bool canCarry(const QString &value);

// Replaces the file whole, or leaves the old one; throws on failure.
void write(const QString &appDir, const QString &url, const QString &proxy);

} // namespace UrlFile
