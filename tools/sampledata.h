#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// A sample data provider for trying the program: a delivered data set of
// Japanese sites under reserved example domains, the daily status pages of a
// span of days, and the layout of a demo program directory. Every file goes
// through the program's own text file code, so its bytes are what the
// program reads.
namespace SampleData {

struct Section
{
    qint16 id = 0;
    qint16 parent = 0;
    QString name;
};

struct Site
{
    qint16 number = 0;
    QString title;
    QString description;
    QString link;
    QList<qint16> sections;
};

struct PageRecord
{
    qint16 number = 0;
    QString colour; // one of "0000FF", "00FF00", "FF0000", "000000"
    QString modified; // "yyyy/MM/dd hh:mm:ss"
};

// Sections in tree order, the root (0) first; every parent comes before its children.
const QList<Section> &sections();
const QList<Site> &sites();
const Site *site(qint16 number);
// "トップ -> 芸術・文化 -> 音楽" for a section id.
QString sectionPath(qint16 id);

// The text of all-info.idf and update.idf for a data set made on the given
// day; the update states lie in the weeks before it.
QString allInfoText(const QDate &made);
QString updateText(const QDate &made);
// Writes both files into a program directory.
void writeDataSet(const QString &dir, const QDate &made);

// The sites a day's status page lists, with all four colours on every page.
// The same day always gives the same records.
QList<PageRecord> pageRecords(const QDate &day);
QString dailyPage(const QDate &day);
// "20001231.html"
QString pageName(const QDate &day);
// Writes the pages of first..last into dir and removes any other day's page there.
void writeDailyPages(const QString &dir, const QDate &first, const QDate &last);

// The pages of interest a new user starts with, as pages.udf entries.
QStringList samplePages();

struct Layout
{
    QString programDir;
    QString pagesDir; // served at dataUrl
    QString dataUrl;
    QDate today;
    int days = 14; // daily pages up to today
    int maxDays = 400; // how far back the pages reach at most
};

// Lays out a demo program directory without replacing anything the user has
// there: url.dat when missing; the data set when both of its files are
// missing; on a fresh directory also the files built from it (through the
// program's own builder, which stores its dates in the settings store) and
// pages.udf. The daily pages are written anew every time: the last
// `days` days, reaching back further to the day the next download starts
// from when that is earlier. Returns one line per file written or kept.
QStringList layOut(const Layout &layout);

// The first day of the served span for a layout: what the next download
// asks for first (the stored "Date"/"Update", a waiting update.idf's date),
// bounded by maxDays.
QDate firstServedDay(const Layout &layout);

} // namespace SampleData
