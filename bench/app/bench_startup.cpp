// Times start-up to a painted menu, each in a fresh process, against a peer:
// a bare Qt window with the same widgets and the same font. Runs in pairs,
// without and then with the largest delivered data set in the program's
// directory; prints each pair's wall time (process start to exit, measured
// from outside), processor time and peak memory, then the median ratios.
//   bench_startup [pairs] [directory]
#include "dataset.h"

#include "app/form_menu.h"
#include "ui/look.h"
#include "ui/taskwindow.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "../machine.h"
#include "../peakmemory.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

double cpuMilliseconds()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
#else
    return -1.0;
#endif
}

// Quits once the window has painted for the first time.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

// The peer: the menu's client area, buttons and menu bar, nothing of ours.
QMainWindow *bareMenu()
{
    auto *window = new QMainWindow;
    window->setWindowTitle(QStringLiteral("Vellumark( Ver.1.0 Rev:18)"));
    auto *client = new QWidget(window);
    client->setFixedSize(twips(4395), twips(2625));
    window->setCentralWidget(client);
    placeButton(client, "a", QStringLiteral("ファイルの構築"), 600, 360, 1455, 495);
    placeButton(client, "b", QStringLiteral("データの表示"), 600, 1080, 1455, 495);
    placeButton(client, "c", QStringLiteral("気になるページ"), 2400, 1080, 1455, 495);
    placeButton(client, "d", QStringLiteral("データＵＲＬ変更"), 2400, 360, 1455, 495);
    placeButton(client, "e", QStringLiteral("更新状況のダウンロード"), 1200, 1800, 2055, 495);
    window->menuBar()->addAction(QStringLiteral("終了"));
    return window;
}

int runChild(bool ours, const QString &appDir)
{
    Look::apply();
    FirstPaint painted;
    QWidget *window = nullptr;
    if (ours) {
        ProgramDir::setReported(appDir);
        SettingsStore::useFile(appDir + QStringLiteral("/settings.ini"));
        auto *menu = new Form_Menu;
        menu->Form_Load();
        window = menu;
    } else {
        window = bareMenu();
    }
    window->installEventFilter(&painted);
    window->show();
    qApp->exec();
    std::printf("%.2f %.1f\n", cpuMilliseconds(), peakMegabytes());
    std::fflush(stdout);
    // Ended at once, as the menu's end command does.
    std::_Exit(0);
}

struct Run
{
    double wall = 0;
    double cpu = 0;
    double peak = 0;
};

bool runOne(bool ours, const QString &appDir, Run &run)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(),
                {ours ? QStringLiteral("--ours") : QStringLiteral("--peer"), appDir});
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return false;
    run.wall = timer.nsecsElapsed() / 1e6;
    const QList<QByteArray> figures = child.readAllStandardOutput().simplified().split(' ');
    if (figures.size() != 2)
        return false;
    run.cpu = figures.at(0).toDouble();
    run.peak = figures.at(1).toDouble();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && (qstrcmp(argv[1], "--ours") == 0 || qstrcmp(argv[1], "--peer") == 0)) {
        QApplication app(argc, argv);
        return runChild(qstrcmp(argv[1], "--ours") == 0, QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int pairs = qMax(1, args.size() > 1 ? args.at(1).toInt() : 10);
    const QString base = args.size() > 2 ? args.at(2) : QCoreApplication::applicationDirPath();
    printMachine(base);

    QTemporaryDir dir(base + QStringLiteral("/bench_startup-XXXXXX"));
    if (!dir.isValid())
        qFatal("no directory in %s", qPrintable(base));
    QDir(dir.path()).mkdir(QStringLiteral("data"));

    bool good = true;
    for (const bool withData : {false, true}) {
        if (withData)
            BenchDataset::Dataset().writeInputs(dir.path());
        std::printf("%s\n", withData ? "with the largest data set (all-info.idf, update.idf) present:"
                                     : "without a data set:");
        QList<double> wallRatios, cpuRatios;
        for (int pair = 1; pair <= pairs; ++pair) {
            Run ours, peer;
            // Alternate which goes first, so that a drift of the machine hits both.
            const bool ok = pair % 2 ? runOne(true, dir.path(), ours) && runOne(false, dir.path(), peer)
                                     : runOne(false, dir.path(), peer) && runOne(true, dir.path(), ours);
            if (!ok) {
                std::fprintf(stderr, "pair %d failed\n", pair);
                return 1;
            }
            wallRatios.append(ours.wall / peer.wall);
            cpuRatios.append(ours.cpu / qMax(0.01, peer.cpu));
            std::printf("  pair %d: menu %.1f ms (cpu %.1f ms, peak %.1f MB), bare window %.1f ms (cpu %.1f ms, "
                        "peak %.1f MB), ratio %.2f wall, %.2f cpu\n",
                        pair, ours.wall, ours.cpu, ours.peak, peer.wall, peer.cpu, peer.peak, wallRatios.last(),
                        cpuRatios.last());
            std::fflush(stdout);
        }
        const double cpu = medianOf(cpuRatios);
        std::printf("  median of %d pairs: %.2f wall, %.2f cpu (target at most 1.3: %s)\n", pairs,
                    medianOf(wallRatios), cpu, cpu <= 1.3 ? "met" : "MISSED");
        good = good && cpu <= 1.3;
    }
    return good ? 0 : 1;
}
