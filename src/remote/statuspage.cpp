#include "statuspage.h"

#include "platform/runerror.h"
#include "store/textfile.h"
#include "store/textutil.h"

#include <QRegularExpression>

namespace StatusPage {

namespace {

constexpr QStringView kColourTag = u"<FONT COLOR='#";
constexpr QStringView kDateTag = u"<FONT Size=2>";

QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

} // namespace

qint16 methodCodeFor(QStringView colour, qint16 previous)
{
    if (colour == QLatin1String("0000FF"))
        return 1;
    if (colour == QLatin1String("00FF00"))
        return 2;
    if (colour == QLatin1String("FF0000"))
        return 3;
    if (colour == QLatin1String("000000"))
        return 4;
    return previous;
}

Page parse(QStringView page, qint16 methodCode)
{
    Page result;
    qint32 scan = 1;
    for (;;) {
        const qint32 colourAt = TextUtil::FindText(page, scan, kColourTag);
        if (colourAt == -1)
            break;
        scan = colourAt + qint32(kColourTag.size());
        methodCode = methodCodeFor(page.mid(scan - 1, 6), methodCode);

        const qint32 bracketAt = TextUtil::FindText(page, scan, u"(");
        if (bracketAt == -1)
            break;
        scan = bracketAt + 1;
        Record record;
        record.numberText = page.mid(scan - 1, 6).toString();
        try {
            record.dataNumber = TextRules::number16(record.numberText);
        } catch (const RunError &) {
            record.numberInRange = false;
        }

        const qint32 dateAt = TextUtil::FindText(page, scan, kDateTag);
        if (dateAt == -1)
            break;
        scan = dateAt + qint32(kDateTag.size());
        record.lastModified = QLatin1Char('#') + page.mid(scan - 1, 19).toString() + QLatin1Char('#');
        record.methodCode = methodCode;
        result.records.append(record);
        // The next colour tag is looked for from the date-time just read.
    }
    result.methodCode = methodCode;
    return result;
}

QString dateText(const QDate &date)
{
    return QString::number(date.year()).rightJustified(4, QLatin1Char('0')) + QLatin1Char('/')
        + twoDigits(date.month()) + QLatin1Char('/') + twoDigits(date.day());
}

QDate readDate(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*([0-9]{4})/([0-9]{1,2})/([0-9]{1,2})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}

QString pageUrl(const QString &dataUrl, const QDate &date)
{
    return dataUrl + QString::number(date.year()).rightJustified(4, QLatin1Char('0')) + twoDigits(date.month())
        + twoDigits(date.day()) + QStringLiteral(".html");
}

} // namespace StatusPage
