#include "store/textfile.h"

#include "platform/files.h"
#include "platform/runerror.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cmath>

namespace {

const char *const kCodec = "windows-31j";

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

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

TextFileReader::TextFileReader(const QString &path)
    : m_text(TextRules::decode(Files::readAll(path)))
{
}

TextFileReader TextFileReader::fromBytes(const QByteArray &bytes)
{
    TextFileReader reader;
    reader.m_text = TextRules::decode(bytes);
    return reader;
}

QString TextFileReader::readField()
{
    const qsizetype n = m_text.size();
    if (m_pos >= n)
        throw RunError(RunError::PastEnd);

    // Runs to the field's comma or line end and steps over it.
    auto passSeparator = [&] {
        while (m_pos < n && m_text[m_pos] != QLatin1Char(',') && !isLineEnd(m_text[m_pos]))
            ++m_pos;
        if (m_pos >= n)
            return;
        if (m_text[m_pos] == QLatin1Char(','))
            m_pos += 1;
        else if (m_text[m_pos] == QLatin1Char('\r') && m_pos + 1 < n && m_text[m_pos + 1] == QLatin1Char('\n'))
            m_pos += 2;
        else
            m_pos += 1;
    };

    while (m_pos < n && TextRules::isBlank(m_text[m_pos]))
        ++m_pos;

    if (m_pos < n && m_text[m_pos] == QLatin1Char('"')) {
        const qsizetype start = m_pos + 1;
        qsizetype close = m_text.indexOf(QLatin1Char('"'), start);
        if (close < 0)
            close = n;
        const QString field = m_text.mid(start, close - start);
        m_pos = qMin(close + 1, n);
        passSeparator();
        return field;
    }

    const qsizetype start = m_pos;
    while (m_pos < n && m_text[m_pos] != QLatin1Char(',') && !isLineEnd(m_text[m_pos]))
        ++m_pos;
    qsizetype end = m_pos;
    while (end > start && TextRules::isBlank(m_text[end - 1]))
        --end;
    const QString field = m_text.mid(start, end - start);
    passSeparator();
    return field;
}

TextFileWriter::TextFileWriter(const QString &path, Mode mode)
{
    if (mode == Mode::Replace || mode == Mode::ReplaceOrOverwrite) {
        auto file = std::make_unique<QSaveFile>(path);
        Files::openReplace(*file, mode == Mode::ReplaceOrOverwrite);
        m_file = std::move(file);
    } else {
        auto file = std::make_unique<QFile>(path);
        if (mode == Mode::Append)
            Files::openAppend(*file);
        else
            Files::openWrite(*file);
        m_file = std::move(file);
    }
}

TextFileWriter::~TextFileWriter()
{
    if (m_closed)
        return;
    // Abandoned by a failure: a replace leaves the old file as it was.
    if (auto *save = qobject_cast<QSaveFile *>(m_file.get()))
        save->cancelWriting();
    else
        m_file->close();
}

void TextFileWriter::write(const QByteArray &bytes)
{
    if (m_file->write(bytes) != bytes.size())
        Files::throwWriteFailure(*m_file);
}

void TextFileWriter::writeTextLine(QStringView text)
{
    QByteArray bytes = TextRules::encode(text);
    bytes += "\r\n";
    write(bytes);
}

void TextFileWriter::writeNumberLine(double value)
{
    write(TextRules::encode(TextRules::numberLine(value)) + "\r\n");
}

void TextFileWriter::close()
{
    if (auto *save = qobject_cast<QSaveFile *>(m_file.get())) {
        // commit() overlooks a failure of its own last flush and would put an
        // empty file in place of the old one on a full disk; flush first. A
        // failure here leaves the replace to the destructor to cancel.
        if (!save->flush())
            Files::throwWriteFailure(*save);
        m_closed = true;
        if (!save->commit())
            Files::throwWriteFailure(*save);
        return;
    }
    m_closed = true;
    auto *file = static_cast<QFile *>(m_file.get());
    if (!file->flush())
        Files::throwWriteFailure(*file);
    file->close();
    if (file->error() != QFileDevice::NoError)
        Files::throwWriteFailure(*file);
}
