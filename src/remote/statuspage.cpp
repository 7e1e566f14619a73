#include "remote/statuspage.h"

#include "platform/runerror.h"
#include "store/textrules.h"
#include "store/textutil.h"

namespace StatusPage {

namespace {

constexpr QStringView kColourTag = u"<FONT COLOR='#";
constexpr QStringView kDateTag = u"<FONT Size=2>";

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
    for (qint32 colourAt = TextUtil::FindText(page, scan, kColourTag); colourAt != -1;) {
        scan = colourAt + qint32(kColourTag.size());
        methodCode = methodCodeFor(page.mid(scan - 1, 6), methodCode);
        const qint32 nextAt = TextUtil::FindText(page, scan, kColourTag);
        const QStringView record = nextAt == -1 ? page.mid(scan - 1) : page.mid(scan - 1, nextAt - scan);
        colourAt = nextAt;

        Record entry;
        entry.methodCode = methodCode;
        const qsizetype dateAt = record.indexOf(kDateTag);
        if (dateAt < 0) {
            entry.skipped = QStringLiteral("最終更新日時のない記録を飛ばしました。");
            result.records.append(entry);
            continue;
        }
        qsizetype bracketAt = dateAt;
        for (;;) {
            bracketAt = bracketAt > 0 ? record.lastIndexOf(QLatin1Char('('), bracketAt - 1) : -1;
            if (bracketAt < 0)
                break;
            const QStringView after = record.mid(bracketAt + 1, 2);
            const QStringView digit = after.startsWith(QLatin1Char('-')) ? after.mid(1) : after;
            if (!digit.isEmpty() && digit[0] >= QLatin1Char('0') && digit[0] <= QLatin1Char('9'))
                break;
        }
        if (bracketAt < 0) {
            entry.skipped = QStringLiteral("データ番号のない記録を飛ばしました。");
            result.records.append(entry);
            continue;
        }
        entry.numberText = record.mid(bracketAt + 1, 6).toString();
        try {
            entry.dataNumber = TextRules::number16(entry.numberText);
        } catch (const RunError &) {
            entry.numberInRange = false;
        }
        // The 19 characters may run on past the record, as they always have.
        const qint32 timeAt = scan + qint32(dateAt + kDateTag.size());
        const QStringView time = page.mid(timeAt - 1, 19);
        entry.lastModified = time.toString();
        // The update-state file must read back as the three fields written.
        for (const QChar c : time) {
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char(',') || c == QLatin1Char('"')) {
                entry.skipped = TextUtil::Pad6(entry.dataNumber)
                    + QStringLiteral(" 最終更新日時が読めないため飛ばしました。");
                break;
            }
        }
        result.records.append(entry);
    }
    result.methodCode = methodCode;
    return result;
}

QString pageUrl(const QString &dataUrl, const QDate &date)
{
    return dataUrl + QString::number(date.year()).rightJustified(4, QLatin1Char('0'))
        + TextUtil::Pad2(QString::number(date.month())) + TextUtil::Pad2(QString::number(date.day()))
        + QStringLiteral(".html");
}

} // namespace StatusPage
