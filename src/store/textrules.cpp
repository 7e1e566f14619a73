#include "store/textrules.h"

#include "platform/runerror.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cmath>

namespace {

const char *const kCodec = "windows-31j";

} // namespace

namespace TextRules {

// Making a converter costs more than converting a line, so one serves them
// all. Stateless: a text that ends inside a character (a lone lead byte)
// must not carry it into the next text.
QByteArray encode(QStringView text)
{
    thread_local QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString decode(const QByteArray &bytes)
{
    thread_local QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    QByteArray number;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        number += char(text[i++].unicode());
    bool digits = false;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
        number += char(text[i++].unicode());
        digits = true;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
            number += char(text[i++].unicode());
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (ok)
        return value;
    // toDouble() refuses values beyond the double range; keep their sign.
    return number.startsWith('-') ? -HUGE_VAL : HUGE_VAL;
}

qint16 number16(QStringView text)
{
    const double rounded = std::nearbyint(leadingNumber(text)); // half to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        throw RunError(RunError::Overflow, text.toString());
    return static_cast<qint16>(rounded);
}

QString numberText(double value)
{
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0
    if (std::trunc(value) == value && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

QString numberLine(double value)
{
    const QString digits = numberText(value);
    return (digits.startsWith(QLatin1Char('-')) ? digits : QLatin1Char(' ') + digits) + QLatin1Char(' ');
}

bool codePageAvailable(const char *codec)
{
    const char *name = codec ? codec : kCodec;
    return QStringEncoder(name).isValid() && QStringDecoder(name).isValid();
}

QString codePageMissingText()
{
    return QStringLiteral("文字コード %1 (Shift-JIS) の変換が使えないため、ファイルを読み書きできません。"
                          "Qt を ICU 付きで用意してから起動してください。")
        .arg(QLatin1String(kCodec));
}

bool fitsCodePage(QStringView text)
{
    return decode(encode(text)) == text;
}

namespace {

bool needsQuotes(QStringView value)
{
    return !value.isEmpty()
        && (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n'))
            || isBlank(value.front()) || isBlank(value.back()) || value.front() == QLatin1Char('"'));
}

} // namespace

QString fieldLine(QStringView value)
{
    return needsQuotes(value) ? QLatin1Char('"') + value.toString() + QLatin1Char('"') : value.toString();
}

bool canCarry(QStringView value)
{
    return !(needsQuotes(value) && value.contains(QLatin1Char('"')));
}

} // namespace TextRules
