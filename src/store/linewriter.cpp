#include "store/linewriter.h"

#include "platform/runerror.h"
#include "store/textrules.h"

namespace {

// number.sdf gathers a line per site; it is written in pieces of this size.
constexpr qsizetype kPendingLimit = 16384;

} // namespace

LineWriter::LineWriter(const QString &path, TextFileWriter::Mode mode)
    : m_file(path, mode)
{
}

LineWriter::~LineWriter()
{
    if (!m_hasPending)
        return;
    try {
        flush();
    } catch (const RunError &) {
        // The failure that abandoned this file is the one reported.
    }
}

void LineWriter::writeTextLine(QStringView text)
{
    if (m_hasPending)
        m_pending += QStringLiteral("\r\n");
    m_pending += text;
    m_hasPending = true;
    if (m_pending.size() >= kPendingLimit)
        flush();
}

void LineWriter::writeNumberLine(double value)
{
    writeTextLine(TextRules::numberLine(value));
}

void LineWriter::flush()
{
    // writeTextLine ends the last line; the ones before carry their CR LF.
    m_hasPending = false;
    m_file.writeTextLine(m_pending);
    m_pending.clear();
}

void LineWriter::close()
{
    if (m_hasPending)
        flush();
    m_file.close();
}
