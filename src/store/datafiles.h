#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "platform/files.h"
#include "store/linewriter.h"
#include "store/textrules.h"

// The one home of the local data files' names and layouts: number.sdf, and
// per site data/NNNNNN.ibd (description) and data/NNNNNN.iud (update state).
namespace DataFiles {

QString allInfoPath(const QString &appDir);
QString updateInputPath(const QString &appDir);
QString numberIndexPath(const QString &appDir);
QString dataDirPath(const QString &appDir);
QString descriptionPath(const QString &appDir, qint16 dataNumber);
QString updateStatePath(const QString &appDir, qint16 dataNumber);

// The data numbers that number.sdf lists, in order, after its count line.
// Numbers outside 16 bits are skipped. A missing file is FileNotFound.
QList<qint16> readSiteNumbers(const QString &appDir);

// A site's description as the browsing windows show it; what the file lacks
// (or the whole file) is empty. At most kShownSections section lines are
// read; a last entry then says how many more the file holds.
constexpr int kShownSections = 1000;
struct SiteDescription
{
    QString dataNumber; // the leading number of field 1, as decimal text
    QString title;
    QString setumei;
    QString link;
    QStringList sections;
};
SiteDescription readDescription(const QString &appDir, qint16 dataNumber);

// A site's update state: the last-modified date-time ("2000/05/18 21:04:33"),
// the day it was seen ("2000/05/20") and the method code.
struct UpdateState
{
    QString lastModified;
    QString checkDate;
    int methodCode = 0;
};

// A date or date-time as the update-state files (and update.idf) hold it:
// between "#".
QString dateField(const QString &text);

// As shown: characters 2 to 20 and 2 to 11 of the first two fields, and the
// method code when it is exactly 1, 2, 3 or 4 (0 otherwise, or when the file
// lacks it).
UpdateState readUpdateState(const QString &appDir, qint16 dataNumber);

// Whether a name in data/ is the temporary file of a replace that a kill
// left unfinished.
bool isReplaceLeftover(const QString &fileName);
// Deletes such files; what cannot be deleted is left for the next time.
void removeLeftovers(const QString &appDir);
// The update states of a daily page, replaced together: each file is whole
// or old after a kill, and the page waits for the disk about once, not once
// per file. Commit once per page; the batch may serve the next pages.
class UpdateStateBatch
{
public:
    explicit UpdateStateBatch(const QString &appDir)
        : m_appDir(appDir)
    {
    }
    // Writes the site's new state beside its file; a later one for the same
    // site wins. A symbolic link in the file's place is refused:
    // PathFileAccess.
    void write(qint16 dataNumber, const UpdateState &state);
    // Puts every state written in place; what was not committed is dropped.
    void commit() { m_files.commit(); }
    // The file (or directory) whose write or commit failed.
    const QString &failedPath() const { return m_files.failedPath(); }

private:
    QString m_appDir;
    Files::ReplaceBatch m_files;
};

// The separator of the names in a section path: Top -> Music -> Jazz.
const QString &sectionSeparator();

// number.sdf: the count line, then one number line per site.
class NumberIndexWriter
{
public:
    // Creates or empties number.sdf and writes the count line.
    NumberIndexWriter(const QString &appDir, double count);
    void addSite(double dataNumber) { m_file.writeNumberLine(dataNumber); }
    void close() { m_file.close(); }

private:
    LineWriter m_file;
};

// A site's .ibd. New creates or empties it for its head (data number, title,
// description, link); Extend appends section path lines, creating it when
// it is missing.
class DescriptionWriter
{
public:
    enum class Start { New, Extend };

    DescriptionWriter(const QString &appDir, qint16 dataNumber, Start start);
    // Line 1: the data number field's own value, which may be 7.5 in a file
    // named after 8.
    void writeDataNumber(double value) { m_file.writeNumberLine(value); }
    // Title, description and link, then the section paths; quoted where the
    // field rule would split or trim them.
    void writeText(QStringView text) { m_file.writeTextLine(TextRules::fieldLine(text)); }
    void close() { m_file.close(); }

private:
    LineWriter m_file;
};

// A site's .iud as delivered: created or emptied, then its three fields
// written as text lines exactly as they were read.
class DeliveredStateWriter
{
public:
    DeliveredStateWriter(const QString &appDir, qint16 dataNumber);
    void writeField(QStringView field) { m_file.writeTextLine(field); }
    void close() { m_file.close(); }

private:
    LineWriter m_file;
};

} // namespace DataFiles
