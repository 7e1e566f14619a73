// Times the daily case of `vellumark --download`, a one-day run of the real
// front executable in a program directory on the real disk, against a floor:
// curl fetching the same page, then the floor's writer of the same
// update-state files with the same crash safety (bench/remote/updatefloor).
// Pairs alternate which side goes first; each pair is printed, then the
// median ratio of wall times. For ours also the peak resident memory (from
// the kernel, as the process ends) and the Qt libraries it mapped while it
// ran (from /proc/PID/maps, read over and over until it ends, in a run of
// its own that is not timed).
//   bench_console [pairs] [records per page] [directory]
// Build with -DCMAKE_BUILD_TYPE=Release; the directory (by default the
// benchmark's own) should be on the real disk.
#include "updatefloor.h"

#include "platform/datetext.h"
#include "remote/statuspage.h"
#include "remote/urlfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

#include "../machine.h"

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
extern char **environ;
#endif

namespace {

struct Ours
{
    double wall = 0;
    double peak = 0;
    QSet<QString> qtLibraries;
    bool ok = false;
};

// One download by the front in appDir, its settings in configDir. Watching
// its maps takes a processor from it, so a watched run is not timed.
Ours runFront(const QString &appDir, const QString &configDir, bool watchMaps)
{
    Ours run;
#ifdef Q_OS_LINUX
    const QByteArray program = QFile::encodeName(appDir + QStringLiteral("/vellumark"));
    const QByteArray config = "XDG_CONFIG_HOME=" + QFile::encodeName(configDir);
    std::vector<char *> env;
    for (char **entry = environ; *entry; ++entry) {
        if (qstrncmp(*entry, "XDG_CONFIG_HOME=", 16) != 0)
            env.push_back(*entry);
    }
    env.push_back(const_cast<char *>(config.constData()));
    env.push_back(nullptr);
    char download[] = "--download";
    char *argv[] = {const_cast<char *>(program.constData()), download, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), &actions, nullptr, argv, env.data()) != 0)
        return run;
    const QString maps = QStringLiteral("/proc/%1/maps").arg(pid);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, watchMaps ? WNOHANG : 0, &usage) == 0) {
        QFile file(maps);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const qsizetype at = line.indexOf("/libQt6");
            if (at >= 0)
                run.qtLibraries.insert(QString::fromLatin1(line.mid(at + 1)));
        }
    }
    run.wall = timer.nsecsElapsed() / 1e9;
    posix_spawn_file_actions_destroy(&actions);
    run.peak = usage.ru_maxrss / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
#else
    Q_UNUSED(appDir);
    Q_UNUSED(configDir);
    Q_UNUSED(watchMaps);
#endif
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int pairs = qMax(1, numberArgument(args, 1, 9));
    const int records = numberArgument(args, 2, 400);
    const QString base = baseArgument(args, 3);
    const QString front = QStringLiteral(FRONT_PATH);
    printMachine(base);

    const QDate today = QDate::currentDate();
    QTemporaryDir www, work;
    QFile::setPermissions(www.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QFile page(www.path() + QLatin1Char('/') + StatusPage::pageUrl(QString(), today));
    if (!page.open(QIODevice::WriteOnly) || page.write(makePage(today, records)) < 0)
        return 1;
    page.close();
    StaticServer server;
    if (!server.start(www.path(), work.path())) {
        std::fprintf(stderr, "no web server could be started on 127.0.0.1\n");
        return 1;
    }
    std::printf("today's page of %d records (%.1f kB) served by %s; the front: %s\n", records, page.size() / 1e3,
                qPrintable(server.name()), qPrintable(front));

    // Every directory is kept to the end, as in bench_update: a deletion
    // would make the next run's file creations slower.
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    auto place = [&] {
        QTemporaryDir &dir = *dirs.emplace_back(
            std::make_unique<QTemporaryDir>(base + QStringLiteral("/bench_console-XXXXXX")));
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        return dir.path();
    };
    auto runOurs = [&](Ours &run, bool watchMaps = false) {
        const QString dir = place();
        if (!QFile::copy(front, dir + QStringLiteral("/vellumark")))
            return false;
        UrlFile::write(dir, server.url(), QString());
        QSettings(dir + QStringLiteral("/config/Vellumark/Vellumark.conf"), QSettings::IniFormat)
            .setValue(QStringLiteral("Date/Update"), DateText::format(today));
        run = runFront(dir, dir + QStringLiteral("/config"), watchMaps);
        return run.ok && dataDigest(dir).size() > 0;
    };
    auto runFloor = [&](double &wall, QByteArray &digest) {
        const QString dir = place();
        const QString fetched = place();
        QElapsedTimer timer;
        timer.start();
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-o"),
                    fetched + QLatin1Char('/') + StatusPage::pageUrl(QString(), today),
                    server.url() + StatusPage::pageUrl(QString(), today)});
        if (!curl.waitForFinished(60000) || curl.exitCode() != 0)
            return false;
        writeFloor(fetched, {today}, dir);
        wall = timer.nsecsElapsed() / 1e9;
        digest = dataDigest(dir);
        return true;
    };

    Ours watched;
    if (!runOurs(watched, true)) {
        std::fprintf(stderr, "the watched run failed\n");
        return 1;
    }
    const QSet<QString> libraries = watched.qtLibraries;
    QList<double> ratios, peaks;
    for (int pair = 1; pair <= pairs; ++pair) {
        Ours ours;
        double floor = 0;
        QByteArray floorDigest;
        const bool ok = pair % 2 ? runFloor(floor, floorDigest) && runOurs(ours)
                                 : runOurs(ours) && runFloor(floor, floorDigest);
        if (!ok) {
            std::fprintf(stderr, "pair %d failed\n", pair);
            return 1;
        }
        ratios.append(ours.wall / floor);
        peaks.append(ours.peak);
        std::printf("pair %d: ours %.1f ms (peak %.1f MB), floor %.1f ms, ratio %.2f\n", pair, ours.wall * 1e3,
                    ours.peak, floor * 1e3, ratios.last());
    }
    QStringList mapped = libraries.values();
    mapped.sort();
    const bool windowLibrary = std::any_of(mapped.cbegin(), mapped.cend(), [](const QString &library) {
        return library.startsWith(QLatin1String("libQt6Gui")) || library.startsWith(QLatin1String("libQt6Widgets"));
    });
    std::printf("median ratio %.2f (target 1.3 or less); peak %.1f MB at most (target under 30 MB)\n", medianOf(ratios),
                *std::max_element(peaks.cbegin(), peaks.cend()));
    std::printf("Qt libraries mapped: %s; %s\n", qPrintable(mapped.join(QStringLiteral(", "))),
                windowLibrary ? "A WINDOW LIBRARY IS MAPPED" : "no Gui or Widgets library");
    return 0;
}
