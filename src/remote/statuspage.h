#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringView>

// The daily status page: its address and the site records it lists.
namespace StatusPage {

struct Record
{
    QString numberText; // the six characters after the record's "("
    qint16 dataNumber = 0;
    bool numberInRange = true; // false: numberText is beyond 16 bits
    QString lastModified; // the 19 characters after "<FONT Size=2>"
    qint16 methodCode = 0;
    // Why the record writes no file; empty for a record that does.
    QString skipped;
};

struct Page
{
    QList<Record> records;
    qint16 methodCode = 0; // the code to carry into the next page
};

// The records of a page in order. A colour that is none of the four keeps
// the code carried in from the previous record of the run. A record ends
// where the next colour tag begins; its number follows the last "(" before
// its date tag that a digit (or "-" and a digit) follows. A record without
// either, or whose date-time would not read back as one field, is kept with
// the reason it is skipped, so that no other site's file is written.
Page parse(QStringView page, qint16 methodCode);

// The code of a colour tag's six digits; other digits keep the previous one.
qint16 methodCodeFor(QStringView colour, qint16 previous);

// The data URL followed by yyyymmdd and ".html".
QString pageUrl(const QString &dataUrl, const QDate &date);

} // namespace StatusPage
