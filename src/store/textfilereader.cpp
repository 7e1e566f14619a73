#include "store/textfilereader.h"

#include "platform/files.h"
#include "platform/runerror.h"
#include "store/textrules.h"

namespace {

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

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
