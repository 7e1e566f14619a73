#pragma once

#include <QList>
#include <QSet>
#include <QString>

// The pages of interest whose news the user has not seen yet: the "●" of the
// list. A download run marks each page that got a later last update than it
// had before the run; a mark stays through later runs until the page is seen
// (shown in the pages of interest window, or listed with its mark). Kept in
// "news.dat" in the program directory, one six-digit data number a line, so
// that two program directories never share their marks.
namespace NewsMarks {

QString path(const QString &appDir);

// The marked pages. A missing file marks none; so does one that cannot be
// read, because a lost mark costs less than a list that cannot open.
QSet<qint16> read(const QString &appDir);

// Marks the pages, keeping the earlier marks. Throws what went wrong; the
// old file is then left as it was.
void add(const QString &appDir, const QList<qint16> &dataNumbers);

// Drops the marks of pages the user has seen; nothing is written when none
// of them was marked. Throws like add.
void seen(const QString &appDir, const QList<qint16> &dataNumbers);

// Whether a last update ("2000/05/18 21:04:33") is later than the one a page
// had: a date-time that does not read is never news, and any readable one is
// news against a page that had none.
bool isLater(const QString &lastModified, const QString &before);

} // namespace NewsMarks
