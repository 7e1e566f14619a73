#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Dates as the settings store, the data files, the log and the captions
// write them; inside the program they are QDate and QDateTime.
namespace DateText {

// "2000/05/20", whatever the locale.
QString format(const QDate &date);
// A stored date such as "2000/05/20" or "2000/5/2"; invalid when it is none.
QDate read(const QString &text);
// A stored date-time such as "2000/05/20 21:04:33"; invalid when it is none.
QDateTime readDateTime(const QString &text);

} // namespace DateText
