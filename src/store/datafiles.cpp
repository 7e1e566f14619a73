#include "store/datafiles.h"

#include "platform/files.h"
#include "platform/runerror.h"
#include "store/textfilereader.h"
#include "store/textfilewriter.h"
#include "store/textrules.h"
#include "store/textutil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace DataFiles {

QString allInfoPath(const QString &appDir)
{
    return appDir + QStringLiteral("/all-info.idf");
}

QString updateInputPath(const QString &appDir)
{
    return appDir + QStringLiteral("/update.idf");
}

QString numberIndexPath(const QString &appDir)
{
    return appDir + QStringLiteral("/number.sdf");
}

QString dataDirPath(const QString &appDir)
{
    return appDir + QStringLiteral("/data");
}

QString descriptionPath(const QString &appDir, qint16 dataNumber)
{
    return appDir + QStringLiteral("/data/") + TextUtil::Pad6(dataNumber) + QStringLiteral(".ibd");
}

QString updateStatePath(const QString &appDir, qint16 dataNumber)
{
    return appDir + QStringLiteral("/data/") + TextUtil::Pad6(dataNumber) + QStringLiteral(".iud");
}

QList<qint16> readSiteNumbers(const QString &appDir)
{
    TextFileReader reader(numberIndexPath(appDir));
    QList<qint16> numbers;
    if (!reader.anythingLeft())
        return numbers;
    reader.readField(); // the count line; the numbers that follow decide
    qsizetype blanks = 0; // site 0 each, unless only blank lines follow them
    while (reader.anythingLeft()) {
        const QString field = reader.readField();
        if (field.isEmpty()) {
            ++blanks;
            continue;
        }
        numbers.insert(numbers.size(), std::exchange(blanks, 0), qint16(0));
        try {
            numbers.append(TextRules::number16(field));
        } catch (const RunError &) {
            // beyond 16 bits: not a site this program can name
        }
    }
    return numbers;
}

namespace {

// Reads up to count fields of a file; a missing or unreadable file gives none.
QStringList readFields(const QString &path, qsizetype count)
{
    QStringList fields;
    if (!Files::exists(path))
        return fields;
    try {
        TextFileReader reader(path);
        while (reader.anythingLeft() && (count < 0 || fields.size() < count))
            fields.append(reader.readField());
    } catch (const RunError &) {
        // what could be read is shown
    }
    return fields;
}

constexpr qint64 kPieceSize = 1 << 20;
constexpr qint64 kSmallestPiece = 4096;

// The fields of the head and of the first kShownSections section lines, and
// how many lines follow those. Only what is shown is decoded: a long chain of
// sections can make the file tens of megabytes.
QStringList readShownFields(const QString &path, qsizetype &moreLines)
{
    moreLines = 0;
    QStringList fields;
    if (!Files::exists(path))
        return fields;
    QByteArray head;
    try {
        // The rest is only counted, a piece at a time: it may be tens of megabytes.
        QFile file(path);
        Files::openRead(file);
        int headLines = 0;
        bool restEndsLine = true;
        // A small file is read in one piece of its own size rather than into
        // a megabyte buffer; one that grows meanwhile is still read to its end.
        const qint64 pieceSize = std::clamp(file.size() + 1, kSmallestPiece, kPieceSize);
        for (QByteArray piece; !(piece = Files::readSome(file, pieceSize)).isEmpty();) {
            qsizetype from = 0;
            while (headLines < 4 + kShownSections && from < piece.size()) {
                const qsizetype lineFeed = piece.indexOf('\n', from);
                const qsizetype end = lineFeed < 0 ? piece.size() : lineFeed + 1;
                head += QByteArrayView(piece).sliced(from, end - from);
                from = end;
                headLines += lineFeed < 0 ? 0 : 1;
            }
            const QByteArrayView rest = QByteArrayView(piece).sliced(from);
            if (!rest.isEmpty()) {
                moreLines += rest.count('\n');
                restEndsLine = rest.endsWith('\n');
            }
        }
        moreLines += restEndsLine ? 0 : 1;
    } catch (const RunError &) {
        // what could be read is shown
    }
    TextFileReader reader = TextFileReader::fromBytes(head);
    while (reader.anythingLeft())
        fields.append(reader.readField());
    return fields;
}

} // namespace

SiteDescription readDescription(const QString &appDir, qint16 dataNumber)
{
    qsizetype more = 0;
    const QStringList fields = readShownFields(descriptionPath(appDir, dataNumber), more);
    SiteDescription site;
    if (!fields.isEmpty())
        site.dataNumber = TextRules::numberText(TextRules::leadingNumber(fields.at(0)));
    site.title = fields.value(1);
    site.setumei = fields.value(2);
    site.link = fields.value(3);
    if (fields.size() > 4)
        site.sections = fields.mid(4, kShownSections);
    more += qMax<qsizetype>(0, fields.size() - 4 - kShownSections);
    if (more > 0)
        site.sections.append(QStringLiteral("（ほかに %1 行あります）").arg(more));
    return site;
}

namespace {

// A link in data/ would have the program write wherever it points.
const QString &siteFile(const QString &path)
{
    if (Files::isLink(path))
        throw RunError(RunError::PathFileAccess, path + QStringLiteral(": symbolic link"));
    return path;
}

} // namespace

QString dateField(const QString &text)
{
    return QLatin1Char('#') + text + QLatin1Char('#');
}

UpdateState readUpdateState(const QString &appDir, qint16 dataNumber)
{
    const QStringList fields = readFields(updateStatePath(appDir, dataNumber), 3);
    UpdateState state;
    state.lastModified = fields.value(0).mid(1, 19);
    state.checkDate = fields.value(1).mid(1, 10);
    if (fields.size() >= 3) {
        const double code = TextRules::leadingNumber(fields.at(2));
        if (code == 1.0 || code == 2.0 || code == 3.0 || code == 4.0)
            state.methodCode = int(code);
    }
    return state;
}

namespace {

QString updateStateText(const UpdateState &state)
{
    return dateField(state.lastModified) + QStringLiteral("\r\n") + dateField(state.checkDate) + QStringLiteral("\r\n")
        + TextRules::numberLine(state.methodCode) + QStringLiteral("\r\n");
}

} // namespace

// QSaveFile writes beside the file under its name, "." and six letters or
// digits, and renames that over the file when it is whole.
bool isReplaceLeftover(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{6}\\.iud\\.[A-Za-z0-9]{6}$"));
    return pattern.match(fileName).hasMatch();
}

void removeLeftovers(const QString &appDir)
{
    QDir dir(dataDirPath(appDir));
    const QStringList names = dir.entryList({QStringLiteral("*.iud.*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (isReplaceLeftover(name) && !Files::isLink(dir.filePath(name)))
            QFile::remove(dir.filePath(name));
    }
}

void UpdateStateBatch::write(qint16 dataNumber, const UpdateState &state)
{
    m_files.add(siteFile(updateStatePath(m_appDir, dataNumber)), TextRules::encode(updateStateText(state)));
}

const QString &sectionSeparator()
{
    static const QString separator = QStringLiteral(" -> ");
    return separator;
}

NumberIndexWriter::NumberIndexWriter(const QString &appDir, double count)
    : m_file(numberIndexPath(appDir), TextFileWriter::Mode::Write)
{
    m_file.writeNumberLine(count);
}

DescriptionWriter::DescriptionWriter(const QString &appDir, qint16 dataNumber, Start start)
    : m_file(siteFile(descriptionPath(appDir, dataNumber)),
             start == Start::New ? TextFileWriter::Mode::Write : TextFileWriter::Mode::Append)
{
}

DeliveredStateWriter::DeliveredStateWriter(const QString &appDir, qint16 dataNumber)
    : m_file(siteFile(updateStatePath(appDir, dataNumber)), TextFileWriter::Mode::Write)
{
}

} // namespace DataFiles
