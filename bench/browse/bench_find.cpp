// Times the browser's find on the largest data set as the builder writes it.
// Each run pairs ours with a floor on the same files:
//   first find (reads number.sdf and every .ibd, folds, scans for a text no
//   site holds)          vs  a plain read of the same files into memory;
//   a later find (scan)  vs  a plain search of the same raw bytes in memory.
// Prints every pair, the median ratios, the absolute times and the memory.
//   bench_find [size] [runs]
#include "../machine.h"
#include "dataset.h"
#include "../usage.h"

#include "browse/sitefinder.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "store/builder.h"
#include "store/datafiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The floor of reading: every file the first find needs, read whole.
QByteArray plainRead(const QString &appDir, const QList<qint16> &numbers)
{
    QByteArray all;
    QFile index(DataFiles::numberIndexPath(appDir));
    if (index.open(QIODevice::ReadOnly))
        all += index.readAll();
    for (const qint16 number : numbers) {
        QFile file(DataFiles::descriptionPath(appDir, number));
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    return all;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int size = numberArgument(args, 1, 32767);
    const int runs = qMax(1, numberArgument(args, 2, 7));

    QTemporaryDir dir;
    QTemporaryDir settingsDir;
    ProgramDir::setReported(dir.path());
    setAppDir(dir.path());
    SettingsStore::useFile(settingsDir.path() + QStringLiteral("/settings.ini"));
    const BenchDataset::Dataset dataset(size);
    try {
        dataset.writeInputs(AppDir());
        DataFileBuilder().BuildDataFiles(AppDir());
    } catch (const RunError &error) {
        std::fprintf(stderr, "failure %d: %s\n", error.number(), qPrintable(error.detail()));
        return 1;
    }
    const QList<qint16> numbers = DataFiles::readSiteNumbers(AppDir());
    const QByteArray raw = plainRead(AppDir(), numbers);
    std::printf("data set: %lld sites, %.1f MiB of number.sdf and .ibd files\n", qint64(numbers.size()),
                raw.size() / 1048576.0);

    // A text no site holds, so both finds go through every site.
    const QString missing = QStringLiteral("ｚｚｑｑ");
    const QByteArray missingBytes("zzqq");
    const double before = peakMegabytes();
    QElapsedTimer timer;
    QList<double> firstRatios, laterRatios, firsts, floorsRead, laters, floorsScan;
    qsizetype held = 0;
    volatile qsizetype sink = 0;
    for (int run = 0; run < runs; ++run) {
        SiteFinder finder(AppDir());
        timer.start();
        const SiteFinder::Result first = finder.find(missing, 1);
        const double ours = timer.nsecsElapsed() / 1e6;
        timer.start();
        sink = sink + plainRead(AppDir(), numbers).size();
        const double floor = timer.nsecsElapsed() / 1e6;
        if (first.position != 0) {
            std::fprintf(stderr, "found %d for a text no site holds\n", first.position);
            return 1;
        }
        held = finder.memoryBytes();
        firsts << ours;
        floorsRead << floor;
        firstRatios << ours / floor;
        std::printf("run %d first find %8.2f ms  plain read %8.2f ms  ratio %5.2f\n", run + 1, ours, floor,
                    ours / floor);

        timer.start();
        const SiteFinder::Result later = finder.find(missing, size / 2);
        const double oursScan = timer.nsecsElapsed() / 1e6;
        timer.start();
        sink = sink + raw.indexOf(missingBytes);
        const double floorScan = timer.nsecsElapsed() / 1e6;
        if (later.position != 0)
            return 1;
        laters << oursScan;
        floorsScan << floorScan;
        laterRatios << oursScan / floorScan;
        std::printf("run %d later find %8.2f ms  plain search %8.2f ms  ratio %5.2f\n", run + 1, oursScan, floorScan,
                    oursScan / floorScan);
    }
    std::printf("median ratio first find / plain read:   %.2f\n", median(firstRatios));
    std::printf("median ratio later find / plain search: %.2f\n", median(laterRatios));
    std::printf("first find median %.1f ms (target < 1000 ms: %s), plain read %.1f ms\n", median(firsts),
                median(firsts) < 1000 ? "met" : "MISSED", median(floorsRead));
    std::printf("later find median %.2f ms (target < 50 ms: %s), plain search %.2f ms\n", median(laters),
                median(laters) < 50 ? "met" : "MISSED", median(floorsScan));
    std::printf("find data held %.1f MiB (target < 64 MiB: %s); peak memory %.1f MB, %.1f MB before the finds\n",
                held / 1048576.0, held < 64 * 1048576 ? "met" : "MISSED", peakMegabytes(), before);
    return 0;
}
