// Times a whole update status download of a year of daily pages, served by a
// real web server on 127.0.0.1, against a floor: curl fetching the same
// addresses in one process, plus a minimal writer of the same update-state
// files with the same crash safety and two syncs per page (see
// writeFloor). Each pair runs the download in a child process
// on the real disk and on a tmpfs, and the floor on both; it prints
// wall and processor time, the download's own peak memory, and then the
// medians of the paired ratios. Last, the processor time of a stalled wait.
//   bench_update [days] [records per page] [pairs] [directory] [stall seconds]
// The directory (by default the benchmark's own) holds the program
// directories and the fetched pages; it should be on the real disk.
#include "updatefloor.h"
#include "platform/clock.h"
#include "platform/datetext.h"
#include "platform/files.h"
#include "platform/programdir.h"
#include "platform/settings.h"
#include "platform/settingsstore.h"
#include "remote/datasource.h"
#include "gui/remote/form_update.h"
#include "remote/statuspage.h"
#include "store/datafiles.h"
#include "store/textrules.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

#include "../machine.h"
#include "../usage.h"
#include <memory>
#include <vector>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QString templateIn(const QString &base)
{
    return base + QStringLiteral("/bench_update-XXXXXX");
}

// A program directory with its data directory and settings of its own.
struct Place
{
    explicit Place(const QString &base)
        : dir(templateIn(base))
    {
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        setAppDir(dir.path());
        SettingsStore::useFile(dir.path() + QStringLiteral("/settings.ini"));
    }
    QTemporaryDir dir;
};

// Runs one download in a window and returns its seconds.
double download(const QString &url, const QString &from, QString *log)
{
    Settings::setUpdateDateText(from);
    QWidget menu;
    DataSource source;
    source.setDataUrl(url);
    auto *form = new Form_Update(&menu, &source);
    QEventLoop done;
    QObject::connect(form, &TaskWindow::activationDone, &done, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    form->showFromMenu();
    done.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (log)
        *log = form->txt_Condition->toPlainText();
    delete form;
    return seconds;
}

// The child's side: one download into appDir, then a line of figures.
int runChild(const QString &url, const QString &from, const QString &appDir, const QDate &last)
{
    setAppDir(appDir);
    SettingsStore::useFile(appDir + QStringLiteral("/settings.ini"));
    Clock::instance().setTestTime(QDateTime(last, QTime(12, 0)));
    const double cpuStart = cpuMilliseconds() / 1000;
    QString log;
    const double wall = download(url, from, &log);
    const double cpu = cpuMilliseconds() / 1000 - cpuStart;
    const QString stored = DateText::format(Settings::updateDate());
    if (stored != DateText::format(last.addDays(1)) || !log.endsWith(QStringLiteral("完了\n"))) {
        std::fprintf(stderr, "the download did not reach the last day: stored %s\n", qPrintable(stored));
        return 1;
    }
    std::printf("%.4f %.4f %.1f\n", wall, cpu, peakMegabytes());
    return 0;
}

struct Run
{
    double wall = 0;
    double cpu = 0;
    double peak = 0;
    QByteArray digest;
};

} // namespace

int main(int argc, char *argv[])
{
    preferOffscreen();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args.at(1) == QLatin1String("--child"))
        return runChild(args.at(2), args.at(3), args.at(4), QDate::fromString(args.at(5), Qt::ISODate));

    const int dayCount = numberArgument(args, 1, 365);
    const int records = numberArgument(args, 2, 400);
    const int pairs = qMax(1, numberArgument(args, 3, 3));
    const QString base = baseArgument(args, 4);
    const int stallSeconds = numberArgument(args, 5, 10);
    const QString memoryBase = QStringLiteral("/dev/shm");
    const bool haveTmpfs = QFileInfo(memoryBase).isDir() && QFileInfo(memoryBase).isWritable();

    const QDate first(2001, 1, 1);
    QList<QDate> days;
    for (int i = 0; i < dayCount; ++i)
        days.append(first.addDays(i));
    const QDate last = days.last();

    printMachine(base);
    if (haveTmpfs)
        printMachine(memoryBase);
    QTemporaryDir www;
    QTemporaryDir work;
    QFile::setPermissions(www.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
    qint64 pageBytes = 0;
    for (const QDate &day : days) {
        QFile page(www.path() + QLatin1Char('/') + StatusPage::pageUrl(QString(), day));
        page.open(QIODevice::WriteOnly);
        const QByteArray bytes = makePage(day, records);
        pageBytes += bytes.size();
        page.write(bytes);
    }
    StaticServer server;
    if (!server.start(www.path(), work.path())) {
        std::fprintf(stderr, "no web server could be started on 127.0.0.1\n");
        return 1;
    }
    std::printf("%d daily pages of %d records (%.1f MB) served by %s\n", dayCount, records, pageBytes / 1e6,
                qPrintable(server.name()));

    // Every directory is kept to the end: on ext4 without a journal, files
    // deleted in the last minutes make the next ones slow to create, so a
    // run after a deletion would pay for the run before it.
    std::vector<std::unique_ptr<Place>> places;
    std::vector<std::unique_ptr<QTemporaryDir>> fetchedPages;
    // The floor: curl in one process for all addresses, then the writer.
    auto runFloor = [&](Run &run, const QString &where) {
        const Place &place = *places.emplace_back(std::make_unique<Place>(where));
        const QTemporaryDir &fetched = *fetchedPages.emplace_back(std::make_unique<QTemporaryDir>(templateIn(where)));
        QFile config(work.path() + QStringLiteral("/curl.conf"));
        config.open(QIODevice::WriteOnly);
        for (const QDate &day : days) {
            const QString name = StatusPage::pageUrl(QString(), day);
            config.write(QStringLiteral("url = \"%1%2\"\noutput = \"%3/%2\"\n")
                             .arg(server.url(), name, fetched.path())
                             .toLocal8Bit());
        }
        config.close();
        const double cpuStart = cpuMilliseconds() / 1000 + cpuMilliseconds(true) / 1000;
        QElapsedTimer timer;
        timer.start();
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-K"), config.fileName()});
        if (!curl.waitForFinished(600000) || curl.exitCode() != 0) {
            std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
            return false;
        }
        writeFloor(fetched.path(), days, place.dir.path());
        run.wall = timer.nsecsElapsed() / 1e9;
        run.cpu = cpuMilliseconds() / 1000 + cpuMilliseconds(true) / 1000 - cpuStart;
        run.digest = dataDigest(place.dir.path());
        return true;
    };
    // The program: a fresh process per download, so that its time, its
    // processor time and its peak memory are its own.
    auto runOurs = [&](Run &run, const QString &where) {
        const Place &place = *places.emplace_back(std::make_unique<Place>(where));
        const QList<double> figures = childFigures({QStringLiteral("--child"), server.url(), DateText::format(first),
                                                    place.dir.path(), last.toString(Qt::ISODate)},
                                                   3, 1800000);
        if (figures.isEmpty())
            return false;
        run.wall = figures.at(0);
        run.cpu = figures.at(1);
        run.peak = figures.at(2);
        run.digest = dataDigest(place.dir.path());
        return true;
    };

    QList<double> toFloor, toFloorCpu, toTmpfs, floorToTmpfs, peaks;
    bool same = true;
    for (int pair = 1; pair <= pairs; ++pair) {
        Run floor, disk, memory, floorMemory;
        // Alternate which goes first, so that a drift of the machine hits both.
        bool ok = pair % 2 ? runFloor(floor, base) && runOurs(disk, base)
                           : runOurs(disk, base) && runFloor(floor, base);
        // The floor on the tmpfs too: what the disk costs the fewest syncs.
        ok = ok && (!haveTmpfs || (runOurs(memory, memoryBase) && runFloor(floorMemory, memoryBase)));
        if (!ok) {
            std::fprintf(stderr, "pair %d failed\n", pair);
            return 1;
        }
        same = same && disk.digest == floor.digest && (!haveTmpfs || memory.digest == floor.digest);
        toFloor.append(disk.wall / floor.wall);
        toFloorCpu.append(disk.cpu / qMax(0.001, floor.cpu));
        peaks.append(disk.peak);
        std::printf("pair %d: disk %.2f s (cpu %.2f s, peak %.1f MB); floor %.2f s (cpu %.2f s); ratio %.2f wall, "
                    "%.2f cpu",
                    pair, disk.wall, disk.cpu, disk.peak, floor.wall, floor.cpu, toFloor.last(), toFloorCpu.last());
        if (haveTmpfs) {
            toTmpfs.append(disk.wall / memory.wall);
            floorToTmpfs.append(floor.wall / floorMemory.wall);
            std::printf("; tmpfs %.2f s (cpu %.2f s), disk/tmpfs %.2f; floor on tmpfs %.2f s, floor disk/tmpfs %.2f",
                        memory.wall, memory.cpu, toTmpfs.last(), floorMemory.wall, floorToTmpfs.last());
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("median of %d pairs: download/floor %.2f wall, %.2f cpu (target at most 1.5)", pairs, medianOf(toFloor),
                medianOf(toFloorCpu));
    if (haveTmpfs)
        std::printf("; disk/tmpfs %.2f (target at most 1.5); the floor's disk/tmpfs %.2f", medianOf(toTmpfs),
                    medianOf(floorToTmpfs));
    std::printf("\npeak memory of the download: %.1f MB (median)\n", medianOf(peaks));
    std::printf("update-state files alike:  %s\n", same ? "yes" : "NO");

    // A stalled request on the real clock: the wait should sleep in the event loop.
    QTcpServer stall;
    stall.listen(QHostAddress::LocalHost, 0);
    QList<QTcpSocket *> held;
    QObject::connect(&stall, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = stall.nextPendingConnection())
            held.append(socket);
    });
    Clock::instance().useSystemTime();
    Place waiting(base);
    double cpuAtStart = 0;
    double cpuStalled = -1;
    QTimer::singleShot(0, [&] { cpuAtStart = cpuMilliseconds() / 1000; });
    QTimer::singleShot(stallSeconds * 1000, [&] {
        cpuStalled = cpuMilliseconds() / 1000 - cpuAtStart;
        // End the wait by its own time-out, without waiting five minutes.
        Clock::instance().setTestTime(QDateTime::currentDateTime());
        Clock::instance().advance(300);
    });
    QString stallLog;
    download(QStringLiteral("http://127.0.0.1:%1/").arg(stall.serverPort()), DateText::format(QDate::currentDate()),
             &stallLog);
    std::printf("stalled wait of %d s:       %.3f s of processor time (target under 0.2 s); log: %s\n", stallSeconds,
                cpuStalled, qPrintable(stallLog.simplified()));
    return same ? 0 : 1;
}
