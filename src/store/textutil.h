#pragma once

#include <QString>
#include <QStringView>

// The program's shared procedures on text. Positions are 1-based and count
// characters.
namespace TextUtil {

// The number as six digits with leading zeros; the sign is dropped.
QString Pad6(qint16 number);

// The first position at or after start where pattern occurs, or -1. An empty
// pattern matches at start. A start below 1 is InvalidArgument. Positions are 32-bit
// so that a long page is searched whole.
qint32 FindText(QStringView text, qint32 start, QStringView pattern);

// The text with a "0" in front when its leading number is below 10.
QString Pad2(const QString &text);

} // namespace TextUtil
