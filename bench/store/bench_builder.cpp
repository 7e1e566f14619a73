// Times the build of the largest data set against a floor: a minimal writer
// that reads the same inputs and writes the same bytes to the same files with
// the same open/close pattern. Runs in pairs, floor and build one to one,
// each on a fresh directory kept to the end; prints every pair, the median of
// the paired ratios and the process's peak memory after a first build. Give
// the disk a few minutes after a run that deleted many files.
//   bench_builder [size] [depth] [pairs] [directory]
#include "dataset.h"

#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "store/builder.h"
#include "store/datafiles.h"
#include "store/textrules.h"
#include "store/textutil.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "../machine.h"
#include "../usage.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// Wall-clock and CPU time of one timed run.
struct Timing
{
    qint64 wall = -1;
    double cpu = -1.0;
};

template <typename Work> Timing timed(Work work)
{
    const double cpuStart = cpuMilliseconds();
    QElapsedTimer timer;
    timer.start();
    work();
    return {timer.elapsed(), cpuMilliseconds() - cpuStart};
}

bool build()
{
    DataFileBuilder builder;
    try {
        builder.BuildDataFiles(AppDir());
    } catch (const RunError &error) {
        std::fprintf(stderr, "build failed with %d: %s\n", error.number(), qPrintable(error.detail()));
        return false;
    }
    return true;
}

QByteArray line(const QString &text)
{
    return TextRules::encode(text) + "\r\n";
}

// Everything the floor writes, worked out before it is timed.
struct FloorPlan
{
    QByteArray countLine;
    QList<QString> sitePaths;
    QList<QByteArray> siteHeads;
    QList<QByteArray> numberLines;
    QList<QString> assignmentPaths;
    QList<QByteArray> pathLines;
    QList<QString> statePaths;
    QList<QByteArray> states;
};

FloorPlan makePlan(const BenchDataset::Dataset &data, const QString &dir)
{
    FloorPlan plan;
    const int n = data.size();
    plan.countLine = line(TextRules::numberLine(n));
    for (int k = 0; k < n; ++k) {
        const BenchDataset::Site site = data.site(k);
        plan.sitePaths.append(DataFiles::descriptionPath(dir, site.dataNumber));
        plan.numberLines.append(line(TextRules::numberLine(site.dataNumber)));
        plan.siteHeads.append(plan.numberLines.last() + line(site.title) + line(site.setumei) + line(site.link));
        const BenchDataset::Assignment assignment = data.assignment(k);
        plan.assignmentPaths.append(DataFiles::descriptionPath(dir, assignment.dataNumber));
        plan.pathLines.append(line(data.sectionPath(assignment.sectionId)));
        const BenchDataset::Update update = data.update(k);
        plan.statePaths.append(DataFiles::updateStatePath(dir, update.dataNumber));
        plan.states.append(line(update.lastModified) + line(update.checkDate) + line(update.method));
    }
    return plan;
}

void writeAll(QFile &file, const QByteArray &bytes)
{
    if (file.write(bytes) != bytes.size())
        qFatal("floor: cannot write %s", qPrintable(file.fileName()));
}

void openOrDie(QFile &file, QIODevice::OpenMode mode)
{
    if (!file.open(mode))
        qFatal("floor: cannot open %s", qPrintable(file.fileName()));
}

// The floor reads its input whole, as the builder does.
void readInput(const QString &path)
{
    QFile input(path);
    openOrDie(input, QIODevice::ReadOnly);
    if (input.readAll().isEmpty())
        qFatal("floor: empty input");
}

// Each file given its bytes, one file open at a time.
void writeEach(const QStringList &paths, const QList<QByteArray> &contents, QIODevice::OpenModeFlag mode)
{
    for (qsizetype k = 0; k < paths.size(); ++k) {
        QFile file(paths.at(k));
        openOrDie(file, QIODevice::WriteOnly | mode);
        writeAll(file, contents.at(k));
        file.close();
    }
}

void runFloor(const FloorPlan &plan, const QString &dir)
{
    const QString allInfo = DataFiles::allInfoPath(dir);
    readInput(allInfo);
    QFile index(DataFiles::numberIndexPath(dir));
    openOrDie(index, QIODevice::WriteOnly | QIODevice::Truncate);
    writeAll(index, plan.countLine);
    for (qsizetype k = 0; k < plan.sitePaths.size(); ++k) {
        QFile site(plan.sitePaths.at(k));
        openOrDie(site, QIODevice::WriteOnly | QIODevice::Truncate);
        writeAll(site, plan.siteHeads.at(k));
        writeAll(index, plan.numberLines.at(k));
        site.close();
    }
    index.close();
    writeEach(plan.assignmentPaths, plan.pathLines, QIODevice::Append);
    QFile::remove(allInfo);

    const QString update = DataFiles::updateInputPath(dir);
    readInput(update);
    writeEach(plan.statePaths, plan.states, QIODevice::Truncate);
    QFile::remove(update);
}

// A fresh program directory with an empty data directory and the inputs.
std::unique_ptr<QTemporaryDir> prepare(const BenchDataset::Dataset &data, const QString &base)
{
    auto dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/bench_builder-XXXXXX"));
    if (!dir->isValid())
        qFatal("no directory in %s", qPrintable(base));
    QDir().mkdir(DataFiles::dataDirPath(dir->path()));
    data.writeInputs(dir->path());
    setAppDir(dir->path());
#ifdef Q_OS_UNIX
    // The write-back of what came before must not land in the timed run.
    ::sync();
#endif
    return dir;
}

QHash<QString, QByteArray> digests(const QString &dir)
{
    QHash<QString, QByteArray> result;
    QStringList names = QDir(DataFiles::dataDirPath(dir)).entryList(QDir::Files);
    QStringList paths;
    for (const QString &name : names)
        paths.append(DataFiles::dataDirPath(dir) + QLatin1Char('/') + name);
    paths.append(DataFiles::numberIndexPath(dir));
    for (const QString &path : paths) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        result.insert(path.mid(dir.size()), QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1));
    }
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int size = numberArgument(args, 1, 32767);
    const int depth = numberArgument(args, 2, 20);
    const int pairs = qMax(1, numberArgument(args, 3, 5));
    const QString base = baseArgument(args, 4);

    QTemporaryDir settingsDir;
    if (!settingsDir.isValid())
        qFatal("no temporary directory");
    SettingsStore::useFile(settingsDir.path() + QStringLiteral("/settings.ini"));
    printMachine(base);

    const BenchDataset::Dataset data(size, depth);
    const double baseline = peakMegabytes();

    // A first build before anything else is held: the peak after it is the
    // build's own.
    // Every directory is kept to the end: on ext4 without a journal, files
    // deleted in the last minutes make the next ones slow to create, so a
    // run after a deletion would pay for the run before it.
    std::vector<std::unique_ptr<QTemporaryDir>> kept;
    bool ok = true;
    kept.push_back(prepare(data, base));
    const Timing first = timed([&] { ok = build(); });
    if (!ok)
        return 1;
    // Read before anything else is held, the listing of the files included.
    const double peak = peakMegabytes();
    const qsizetype fileCount = digests(kept.back()->path()).size();
    std::printf("first build: %lld ms\n", static_cast<long long>(first.wall));

    // The floor's plan comes from the data set's own model, not from the
    // build, so the comparison of the outputs is also a check of the build.
    // Its paths are the same in every directory: they are made relative.
    FloorPlan plan = makePlan(data, QStringLiteral("@"));
    const double planned = peakMegabytes();
    auto placed = [](const QList<QString> &paths, const QString &dir) {
        QList<QString> result;
        result.reserve(paths.size());
        for (const QString &path : paths)
            result.append(dir + path.mid(1));
        return result;
    };

    QList<double> wallRatios, cpuRatios;
    bool same = true;
    for (int pair = 1; pair <= pairs; ++pair) {
        Timing floorRun, buildRun;
        QHash<QString, QByteArray> floorOutput, buildOutput;
        // Alternate which goes first, so that a drift of the machine hits both.
        for (int turn = 0; turn < 2; ++turn) {
            kept.push_back(prepare(data, base));
            QTemporaryDir *dir = kept.back().get();
            if ((turn == 0) == (pair % 2 == 1)) {
                FloorPlan here = plan;
                here.sitePaths = placed(plan.sitePaths, dir->path());
                here.assignmentPaths = placed(plan.assignmentPaths, dir->path());
                here.statePaths = placed(plan.statePaths, dir->path());
                floorRun = timed([&] { runFloor(here, dir->path()); });
                floorOutput = digests(dir->path());
            } else {
                buildRun = timed([&] { ok = build(); });
                if (!ok)
                    return 1;
                buildOutput = digests(dir->path());
            }
        }
        same = same && buildOutput == floorOutput;
        wallRatios.append(double(buildRun.wall) / qMax<qint64>(1, floorRun.wall));
        cpuRatios.append(buildRun.cpu / qMax(1.0, floorRun.cpu));
        std::printf("pair %d: floor %lld ms (cpu %.0f ms), build %lld ms (cpu %.0f ms), ratio %.2f wall, %.2f cpu\n",
                    pair, static_cast<long long>(floorRun.wall), floorRun.cpu, static_cast<long long>(buildRun.wall),
                    buildRun.cpu, wallRatios.last(), cpuRatios.last());
        std::fflush(stdout);
    }

    std::printf("data set: %d records per block, sections %d deep, %lld files\n", data.size(), depth,
                static_cast<long long>(fileCount));
    std::printf("median of %d paired ratios: %.2f wall, %.2f cpu (target <= 1.5)\n", pairs, medianOf(wallRatios),
                medianOf(cpuRatios));
    std::printf("peak memory of the build: %.1f MB (process at start %.1f MB; target < 64 MB)\n", peak, baseline);
    std::printf("peak memory with the floor's plan held: %.1f MB\n", planned);
    std::printf("floor output identical to the build's: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
