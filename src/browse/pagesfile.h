#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// pages.udf, the user's pages of interest: a count line, then one entry per
// line, each the site's data number as six digits, a blank and its title, in
// ascending order. The browser is its only writer.
namespace PagesFile {

QString path(const QString &appDir);

// The entry for a site as the browser lists it.
QString entry(qint16 dataNumber, const QString &title);

// The data number of an entry: the 16-bit number of its first six characters
// only, so a title that begins with digits does not change it. Overflow
// beyond 16 bits.
qint16 dataNumber(QStringView entry);
// The six digits of the site files an entry names (Pad6 of its number), for
// any entry: -7 and 7 share them, and 032768 is no failure.
QString siteDigits(QStringView entry);

// The data numbers of the entries that name a page, in order. An entry that
// does not begin with a number (a field split off a title by a comma), or
// whose number is beyond 16 bits, names none.
QList<qint16> pageNumbers(const QStringList &entries);

struct Contents
{
    // The count line; 0 when the file is missing, empty or the count is
    // beyond 16 bits. Readers go by the entries, not by this.
    qint16 count = 0;
    // Every further field, in file order, as it stands: blank ones and ones
    // beyond 16 bits too.
    QStringList entries;
};

// A missing file is an empty list; any other failure to read is thrown.
Contents read(const QString &appDir);

// Replaces the file whole with the count line and the entries in ascending
// order, each quoted where the field rule would split or trim it. Where the
// directory refuses a new file, the file itself is rewritten in place. Throws
// and, short of a failure in mid-rewrite, leaves the old file as it was.
void write(const QString &appDir, QStringList entries);

} // namespace PagesFile
