#include "store/textutil.h"

#include "platform/runerror.h"
#include "store/textrules.h"

#include <cstdlib>

namespace TextUtil {

QString Pad6(qint16 number)
{
    return QString::number(std::abs(int(number))).rightJustified(6, QLatin1Char('0'));
}

qint32 FindText(QStringView text, qint32 start, QStringView pattern)
{
    if (start < 1)
        throw RunError(RunError::InvalidArgument, QStringLiteral("FindText start %1").arg(start));
    if (pattern.isEmpty())
        return start;
    if (start > text.size())
        return -1;
    const qsizetype found = text.indexOf(pattern, start - 1);
    return found < 0 ? -1 : qint32(found + 1);
}

QString Pad2(const QString &text)
{
    return TextRules::leadingNumber(text) < 10 ? QLatin1Char('0') + text : text;
}

} // namespace TextUtil
