#include "store/builder.h"

#include "platform/files.h"
#include "platform/runerror.h"
#include "platform/settings.h"
#include "platform/settingsstore.h"
#include "store/datafiles.h"
#include "store/textfilereader.h"
#include "store/textrules.h"

#include <memory>

namespace {

constexpr int kIds = 65536;
constexpr int kLastIndex = 32767;
constexpr qsizetype kPathCharsLimit = 4 * 1024 * 1024;

const QString &endOfBlock()
{
    static const QString sentinel = QStringLiteral("<END>");
    return sentinel;
}

// A table of count + 1 entries, indices 0..count. A count below -1 would
// need a negative size.
template <typename Entry> QList<Entry> makeTable(qint16 count)
{
    if (count < -1)
        throw RunError(RunError::OutOfRange, QStringLiteral("table for a count of %1").arg(count));
    return QList<Entry>(qsizetype(count) + 1);
}

// The place of record i in its table: OutOfRange beyond its end.
template <typename Entry> Entry &place(QList<Entry> &table, int i)
{
    if (i >= table.size())
        throw RunError(RunError::OutOfRange, QStringLiteral("record %1 of a table of %2").arg(i).arg(table.size()));
    return table[i];
}

// Record indices are 16-bit: passing 32767 is an overflow.
void advance(int &i)
{
    if (i >= kLastIndex)
        throw RunError(RunError::Overflow, QStringLiteral("record index past 32767"));
    ++i;
}

// What a scan from index 0 that found nothing ends in: it runs off the end of
// the table, unless the 16-bit index overflows first.
[[noreturn]] void scanMissed(qsizetype tableSize, const QString &what)
{
    if (tableSize > kLastIndex)
        throw RunError(RunError::Overflow, what);
    throw RunError(RunError::OutOfRange, what);
}

} // namespace

DataFileBuilder::DataFileBuilder()
    : m_firstName(kIds, -1),
      m_firstLink(kIds, -1),
      m_paths(kIds),
      m_pathKnown(kIds, false)
{
}

template <typename Step> auto DataFileBuilder::withDataDir(Step step)
{
    try {
        return step();
    } catch (const RunError &error) {
        if (error.number() != RunError::PathNotFound)
            throw;
    }
    // A failure to create it is thrown as it is, and so is a second failure
    // of the step: never a loop.
    Files::makeDir(DataFiles::dataDirPath(m_appDir));
    return step();
}

void DataFileBuilder::BuildDataFiles(const QString &appDir)
{
    m_appDir = appDir;
    m_unsavedSettings.clear();
    DataFiles::removeLeftovers(m_appDir);
    // The inputs and the two dates stay as they were until the whole build
    // has succeeded, so that a build that fails or is killed can be run again.
    m_inputPath = DataFiles::allInfoPath(m_appDir);
    QString makeFile;
    {
        TextFileReader input(m_inputPath);
        makeFile = input.readField();
        readBlocks(input);
    }

    m_inputPath = DataFiles::updateInputPath(m_appDir);
    QString update;
    {
        TextFileReader input(m_inputPath);
        update = input.readField();
        while (input.anythingLeft()) {
            const qint16 number = TextRules::number16(input.readField());
            // A record changes its file only once all its fields are read.
            QString fields[3];
            for (QString &field : fields)
                field = input.readField();
            auto state = withDataDir(
                [&] { return std::make_unique<DataFiles::DeliveredStateWriter>(m_appDir, number); });
            for (const QString &field : fields)
                state->writeField(field);
            state->close();
        }
    }

    if (!Settings::setMakeFile(makeFile) || !Settings::setUpdateDateText(update)) {
        m_unsavedSettings = SettingsStore::location();
        throw RunError(RunError::PathFileAccess, m_unsavedSettings);
    }
    Files::remove(DataFiles::allInfoPath(m_appDir));
    Files::remove(m_inputPath);
}

void DataFileBuilder::readBlocks(TextFileReader &input)
{
    qint16 counts[4];
    for (qint16 &count : counts)
        count = TextRules::number16(input.readField());

    SectionNames = makeTable<SectionNameEntry>(counts[0]);
    SectionLinks = makeTable<SectionLinkEntry>(counts[1]);
    Sites = makeTable<SiteEntry>(counts[2]);
    SiteSections = makeTable<SiteSectionEntry>(counts[3]);

    int i = 0;
    for (QString f = input.readField(); f != endOfBlock(); f = input.readField(), advance(i)) {
        const qint16 id = TextRules::number16(f);
        SectionNameEntry &entry = place(SectionNames, i);
        entry.Id = id;
        entry.Name = input.readField();
    }

    i = 0;
    for (QString f = input.readField(); f != endOfBlock(); f = input.readField(), advance(i)) {
        const qint16 parent = TextRules::number16(f);
        SectionLinkEntry &entry = place(SectionLinks, i);
        entry.Parent = parent;
        entry.Child = TextRules::number16(input.readField());
    }
    indexSections();

    auto index = withDataDir([&] { return std::make_unique<DataFiles::NumberIndexWriter>(m_appDir, counts[2]); });
    i = 0;
    for (QString f = input.readField(); f != endOfBlock(); advance(i)) {
        const qint16 number = TextRules::number16(f);
        place(Sites, i).DataNumber = number;
        auto site = withDataDir([&] {
            return std::make_unique<DataFiles::DescriptionWriter>(m_appDir, number,
                                                                  DataFiles::DescriptionWriter::Start::New);
        });
        // The field's own value, not its 16-bit rounding: 7.5 stays 7.5.
        const double value = TextRules::leadingNumber(f);
        site->writeDataNumber(value);
        index->addSite(value);
        for (int field = 0; field < 3; ++field)
            site->writeText(input.readField());
        f = input.readField();
        site->close();
    }
    index->close();

    i = 0;
    for (QString f = input.readField(); f != endOfBlock();) {
        const qint16 number = TextRules::number16(f);
        place(SiteSections, i).DataNumber = number;
        auto site = withDataDir([&] {
            return std::make_unique<DataFiles::DescriptionWriter>(m_appDir, number,
                                                                  DataFiles::DescriptionWriter::Start::Extend);
        });
        const qint16 section = TextRules::number16(input.readField());
        SiteSections[i].SectionId = section;
        site->writeText(SectionPath(section));
        f = input.readField();
        advance(i);
        site->close();
    }
}

void DataFileBuilder::indexSections()
{
    std::fill(m_firstName.begin(), m_firstName.end(), -1);
    std::fill(m_firstLink.begin(), m_firstLink.end(), -1);
    // From the end down, so that the first entry of an id is the one kept.
    for (qsizetype k = SectionNames.size() - 1; k >= 0; --k)
        m_firstName[SectionNames.at(k).Id + 32768] = qint32(k);
    for (qsizetype k = SectionLinks.size() - 1; k >= 0; --k)
        m_firstLink[SectionLinks.at(k).Child + 32768] = qint32(k);
    std::fill(m_paths.begin(), m_paths.end(), QString());
    std::fill(m_pathKnown.begin(), m_pathKnown.end(), false);
    m_pathChars = 0;
}

QString DataFileBuilder::SectionName(qint16 id) const
{
    const qint32 k = m_firstName[id + 32768];
    if (k < 0)
        scanMissed(SectionNames.size(), QStringLiteral("no name for section %1").arg(id));
    return SectionNames.at(k).Name;
}

QString DataFileBuilder::SectionPath(qint16 id) const
{
    if (m_pathKnown[id + 32768])
        return m_paths[id + 32768];

    // Walk up as the scans would, in the same order of lookups and so with
    // the same first failure, until section 0 or a path already known.
    QList<qint16> chain{id};
    QStringList names{SectionName(id)};
    QString upper;
    bool haveUpper = false;
    qsizetype steps = 0;
    for (qint16 k = id; k != 0;) {
        const qint32 link = m_firstLink[k + 32768];
        if (link < 0)
            scanMissed(SectionLinks.size(), QStringLiteral("no parent for section %1").arg(k));
        // Each step of a true path uses another link; more steps than links
        // means the walk has come round again.
        if (++steps > SectionLinks.size())
            throw RunError(RunError::OutOfRange, QStringLiteral("section %1 is its own ancestor").arg(id));
        k = SectionLinks.at(link).Parent;
        if (m_pathKnown[k + 32768]) {
            upper = m_paths[k + 32768];
            haveUpper = true;
            break;
        }
        chain.append(k);
        names.append(SectionName(k));
    }

    // Down again: every section passed has its own path on the way, a prefix
    // of the last one, so the text grows in place (rebuilding it at each step
    // would cost the square of the depth once the cache is full).
    qsizetype length = upper.size();
    for (const QString &name : std::as_const(names))
        length += name.size() + DataFiles::sectionSeparator().size();
    QString text;
    text.reserve(length);
    text.append(upper.constData(), upper.size());
    for (qsizetype n = chain.size() - 1; n >= 0; --n) {
        if (haveUpper)
            text += DataFiles::sectionSeparator();
        text += names.at(n);
        haveUpper = true;
        // The sections passed on the way get half the room: the other half
        // stays for the paths asked for, which the next sites ask for again.
        const qsizetype room = n == 0 ? kPathCharsLimit : kPathCharsLimit / 2;
        if (m_pathChars + text.size() <= room) {
            m_paths[chain.at(n) + 32768] = text;
            m_pathKnown[chain.at(n) + 32768] = true;
            m_pathChars += text.size();
        }
    }
    return text;
}
