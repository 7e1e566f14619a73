#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringView>

// The daily status page: its address, the site records it lists, and the
// date texts the download writes.
namespace StatusPage {

struct Record
{
    QString numberText;   // the six characters after the record's "("
    qint16 dataNumber = 0;
    bool numberInRange = true; // false: numberText is beyond 16 bits
    QString lastModified; // "#", the 19 characters after "<FONT Size=2>", "#"
    qint16 methodCode = 0;
};

struct Page
{
    QList<Record> records;
    qint16 methodCode = 0; // the code to carry into the next page
};

// The records of a page in order. A colour that is none of the four keeps
// the code carried in from the previous record of the run. A colour tag
// without its "(" or "<FONT Size=2>" ends the page: what follows it cannot
// be told apart from a record's parts.
Page parse(QStringView page, qint16 methodCode);

// The code of a colour tag's six digits; other digits keep the previous one.
qint16 methodCodeFor(QStringView colour, qint16 previous);

// "2000/05/20", whatever the locale.
QString dateText(const QDate &date);
// A stored date such as "2000/05/20" or "2000/5/2"; invalid when it is none.
QDate readDate(const QString &text);
// The data URL followed by yyyymmdd and ".html".
QString pageUrl(const QString &dataUrl, const QDate &date);

} // namespace StatusPage
