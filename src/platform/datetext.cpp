#include "platform/datetext.h"

#include <QRegularExpression>

namespace DateText {

QString format(const QDate &date)
{
    return QString::number(date.year()).rightJustified(4, QLatin1Char('0')) + QLatin1Char('/')
        + QString::number(date.month()).rightJustified(2, QLatin1Char('0')) + QLatin1Char('/')
        + QString::number(date.day()).rightJustified(2, QLatin1Char('0'));
}

QDate read(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*([0-9]{4})/([0-9]{1,2})/([0-9]{1,2})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    // Outside these years the date text would not read back.
    const int year = match.captured(1).toInt();
    if (year < 1601 || year > 9999)
        return {};
    return QDate(year, match.captured(2).toInt(), match.captured(3).toInt());
}

QDateTime readDateTime(const QString &text)
{
    return QDateTime::fromString(text, QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

} // namespace DateText
