#include "browse/sitefinder.h"

#include "platform/files.h"
#include "platform/runerror.h"
#include "store/datafiles.h"
#include "store/textfilereader.h"

#include <QStringMatcher>

#include <algorithm>

namespace {

const QChar kEnd(u'\0');
// Sites read at a time while a find goes on past what is read.
constexpr int kReadAhead = 512;

char16_t foldChar(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + (u'a' - u'A');
    if (c >= u'\xFF10' && c <= u'\xFF19') // full-width digits
        return c - u'\xFF10' + u'0';
    if (c >= u'\xFF21' && c <= u'\xFF3A') // full-width capitals
        return c - u'\xFF21' + u'a';
    if (c >= u'\xFF41' && c <= u'\xFF5A') // full-width small letters
        return c - u'\xFF41' + u'a';
    return c;
}

void appendFolded(QString &out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char16_t *to = reinterpret_cast<char16_t *>(out.data()) + at;
    for (const QChar c : text)
        *to++ = foldChar(c.unicode());
}

} // namespace

SiteFinder::SiteFinder(const QString &appDir)
    : m_appDir(appDir)
{
}

QString SiteFinder::fold(QStringView text)
{
    QString folded;
    appendFolded(folded, text);
    return folded;
}

void SiteFinder::reset()
{
    m_loaded = false;
    m_numbers.clear();
    m_texts.clear();
    m_texts.squeeze();
    m_starts.clear();
    m_starts.squeeze();
}

qsizetype SiteFinder::memoryBytes() const
{
    return m_texts.capacity() * qsizetype(sizeof(QChar)) + m_starts.capacity() * qsizetype(sizeof(qint32))
        + m_numbers.capacity() * qsizetype(sizeof(qint16));
}

void SiteFinder::load()
{
    reset();
    try {
        m_numbers = DataFiles::readSiteNumbers(m_appDir);
    } catch (const RunError &) {
        // no index: nothing to find
    }
    m_starts.reserve(m_numbers.size() + 1);
    m_starts.append(0);
    m_loaded = true;
}

bool SiteFinder::readMore(int upTo)
{
    upTo = qMin(upTo, int(m_numbers.size()));
    if (loadedSites() >= upTo)
        return false;
    while (loadedSites() < upTo) {
        const qint16 number = m_numbers.at(loadedSites());
        QByteArray bytes;
        try {
            bytes = Files::readAll(DataFiles::descriptionPath(m_appDir, number));
        } catch (const RunError &) {
            bytes.clear(); // a missing or unreadable site file holds nothing to find
        }
        TextFileReader reader = TextFileReader::fromBytes(bytes);
        if (reader.anythingLeft())
            reader.readField(); // the data number, which is found as a number
        while (reader.anythingLeft()) {
            appendFolded(m_texts, reader.readField());
            m_texts.append(kEnd);
        }
        m_starts.append(qint32(m_texts.size()));
    }
    if (loadedSites() == m_numbers.size())
        m_texts.squeeze();
    return true;
}

int SiteFinder::positionOfOffset(qsizetype offset) const
{
    // The last site that begins at or before the offset; empty sites share
    // their start with the next one, so upper_bound skips them.
    const auto it = std::upper_bound(m_starts.cbegin(), m_starts.cend(), qint32(offset));
    return int(it - m_starts.cbegin());
}

SiteFinder::Result SiteFinder::find(const QString &text, int from)
{
    const QString folded = fold(text.trimmed());
    if (folded.isEmpty())
        return {};
    if (!m_loaded)
        load();
    from = qBound(0, from, int(m_numbers.size()));
    bool isNumber = false;
    const int number = folded.toInt(&isNumber, 10);
    if (isNumber && number >= -32768 && number <= 32767) {
        const Result result = findNumber(qint16(number), from);
        if (result.position > 0)
            return result;
    }
    return findText(folded, from);
}

SiteFinder::Result SiteFinder::findNumber(qint16 number, int from) const
{
    const auto begin = m_numbers.cbegin();
    auto it = std::find(begin + from, m_numbers.cend(), number);
    if (it != m_numbers.cend())
        return {int(it - begin) + 1, false};
    it = std::find(begin, begin + from, number);
    if (it != begin + from)
        return {int(it - begin) + 1, true};
    return {};
}

SiteFinder::Result SiteFinder::findText(const QString &folded, int from)
{
    // Files are read only as far as a match needs: a find from the first
    // site that matches early reads a few files, not the whole data set.
    const QStringMatcher matcher(folded);
    readMore(from);
    qsizetype start = m_starts.at(from);
    for (;;) {
        const qsizetype at = matcher.indexIn(m_texts, start);
        if (at >= 0)
            return {positionOfOffset(at), false};
        start = m_texts.size(); // no match spans two sites: their fields end in NUL
        if (!readMore(loadedSites() + kReadAhead))
            break;
    }
    const qsizetype at = matcher.indexIn(m_texts, 0);
    if (at >= 0 && at < m_starts.at(from))
        return {positionOfOffset(at), true};
    return {};
}
