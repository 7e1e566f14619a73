#pragma once

#include <QList>
#include <QString>

#include <vector>

// Turns the delivered all-info.idf and update.idf of a program directory
// into number.sdf and the site files, then deletes both inputs. Failures are
// thrown as RunError; the caller decides what the user sees.
class DataFileBuilder
{
public:
    struct SectionNameEntry
    {
        qint16 Id = 0;
        QString Name;
    };
    struct SectionLinkEntry
    {
        qint16 Parent = 0;
        qint16 Child = 0;
    };
    // The texts of a site go straight to its file; only the data number is
    // kept, so that a block-3 table costs no more than the others.
    struct SiteEntry
    {
        qint16 DataNumber = 0;
    };
    struct SiteSectionEntry
    {
        qint16 DataNumber = 0;
        qint16 SectionId = 0;
    };

    DataFileBuilder();

    // A missing data directory is created and the failed step done again,
    // once; every other failure, and a second one, is thrown.
    void BuildDataFiles(const QString &appDir);

    // The input file of the current pass: the one a FileNotFound names.
    const QString &inputPath() const { return m_inputPath; }
    // The settings store that could not keep the dates; empty when it could.
    const QString &unsavedSettings() const { return m_unsavedSettings; }

    // The name of the first entry holding the id, spare entries included;
    // OutOfRange when none does (Overflow when the scan would have to pass
    // index 32767).
    QString SectionName(qint16 id) const;
    // The names from section 0 down to the id, joined by " -> ". A section
    // other than 0 that no link names as a child, or a walk longer than the
    // link table (a cycle), is OutOfRange.
    QString SectionPath(qint16 id) const;

private:
    void readBlocks(class TextFileReader &input);
    void indexSections();
    template <typename Step> auto withDataDir(Step step);

    QList<SectionNameEntry> SectionNames;
    QList<SectionLinkEntry> SectionLinks;
    QList<SiteEntry> Sites;
    QList<SiteSectionEntry> SiteSections;

    // By id + 32768: the index of the first entry holding it, or -1. They
    // give the linear scans' first match in constant time.
    std::vector<qint32> m_firstName;
    std::vector<qint32> m_firstLink;
    // By id + 32768: paths already worked out, up to a bound on their total
    // length (a chain thousands deep would otherwise fill the memory).
    mutable std::vector<QString> m_paths;
    mutable std::vector<bool> m_pathKnown;
    mutable qsizetype m_pathChars = 0;

    QString m_appDir;
    QString m_inputPath;
    QString m_unsavedSettings;
};
