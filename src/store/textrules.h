#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringView>

// The rules every file of the program follows: windows-31j text with CR LF
// line ends, read as fields and written as text lines and number lines.
namespace TextRules {

QByteArray encode(QStringView text);
QString decode(const QByteArray &bytes);

// The blanks that the field reading rule skips around a field.
bool isBlank(QChar c);

// The number with which a text begins: blanks, a sign, digits and a
// fractional part; 0 when it begins with none.
double leadingNumber(QStringView text);
// The leading number rounded half to even; 6 outside -32768..32767.
qint16 number16(QStringView text);
// The decimal text of a number as a number line carries it, without blanks.
QString numberText(double value);
// A whole number line without its CR LF: " 7 ", "-7 ".
QString numberLine(double value);

// Whether the code page converter is there; without it every text would be
// written as nothing.
bool codePageAvailable(const char *codec = nullptr);
QString codePageMissingText();
// Whether a text survives the code page: no character is lost or replaced.
bool fitsCodePage(QStringView text);
// A value as the line that reads back as it: between double quotes when the
// field reading rule would split or trim it, otherwise unchanged. A value
// that would need quotes but holds one cannot be carried either way.
QString fieldLine(QStringView value);
bool canCarry(QStringView value);

} // namespace TextRules
