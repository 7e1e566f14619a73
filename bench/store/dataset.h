#pragma once

#include <QString>

// A synthetic delivered data set at the limits of the 16-bit data model:
// section names, a section tree of chains about 20 deep, sites with Japanese
// titles and descriptions, site-to-section assignments and update records.
// Every record is computed from its index, so users can stream it and know
// what a correct build must produce without reading the files back.
namespace BenchDataset {

struct Section
{
    qint16 id;
    QString name;
};

struct Link
{
    qint16 parent;
    qint16 child;
};

struct Site
{
    qint16 dataNumber;
    QString title;
    QString setumei;
    QString link;
};

struct Assignment
{
    qint16 dataNumber;
    qint16 sectionId;
};

struct Update
{
    qint16 dataNumber;
    QString lastModified;
    QString checkDate;
    QString method;
};

class Dataset
{
public:
    // size records in each block and in update.idf (1..32767), section chains
    // of the given depth below the root.
    explicit Dataset(int size = 32767, int depth = 20);

    int size() const { return m_size; }
    QString makingDate() const;
    QString updateDate() const;

    Section section(int k) const;
    Link link(int k) const;
    Site site(int k) const;
    Assignment assignment(int k) const;
    Update update(int k) const;

    // The section path a correct build writes for a section id.
    QString sectionPath(qint16 id) const;

    // Writes all-info.idf and update.idf into dir (windows-31j, CR LF).
    void writeInputs(const QString &dir) const;

private:
    qint16 parentOf(int id) const;

    int m_size;
    int m_depth;
    int m_chains;
    int m_linkStep;
    int m_siteStep;
};

} // namespace BenchDataset
