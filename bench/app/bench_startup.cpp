// Times start-up to a painted menu, each in a fresh process, against a peer:
// a bare Qt window with the same widgets and the same font. Runs in pairs,
// without and then with the largest delivered data set in the program's
// directory; prints each pair's wall time (process start to exit, measured
// from outside), processor time and peak memory, then the median ratios.
//   bench_startup [pairs] [directory]
#include "dataset.h"

#include "gui/menu/form_menu.h"
#include "gui/kit/look.h"
#include "gui/kit/placement.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "../machine.h"
#include "../usage.h"

namespace {

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

// Wall time from here (the child cannot see its own start), cpu time and peak memory.
QList<double> runOne(bool ours, const QString &appDir)
{
    QElapsedTimer timer;
    timer.start();
    QList<double> figures = sideFigures(ours, appDir, 2, 60000);
    if (!figures.isEmpty())
        figures.prepend(timer.nsecsElapsed() / 1e6);
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    preferOffscreen();
    if (argc == 3 && (qstrcmp(argv[1], "--ours") == 0 || qstrcmp(argv[1], "--peer") == 0)) {
        QApplication app(argc, argv);
        return runChild(qstrcmp(argv[1], "--ours") == 0, QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int pairs = qMax(1, numberArgument(args, 1, 10));
    const QString base = baseArgument(args, 2);
    printMachine(base);

    QTemporaryDir dir(base + QStringLiteral("/bench_startup-XXXXXX"));
    if (!dir.isValid())
        qFatal("no directory in %s", qPrintable(base));
    QDir(dir.path()).mkdir(QStringLiteral("data"));

    bool good = true;
    for (const bool withData : {false, true}) {
        if (withData)
            BenchDataset::Dataset().writeInputs(dir.path());
        std::printf("%s\n",
                    withData ? "with the largest data set (all-info.idf, update.idf) present:" : "without a data set:");
        QList<double> wallRatios, cpuRatios;
        for (int pair = 1; pair <= pairs; ++pair) {
            QList<double> ours, peer;
            if (!runPair(
                    pair, [&](bool side) { return runOne(side, dir.path()); }, ours, peer)) {
                std::fprintf(stderr, "pair %d failed\n", pair);
                return 1;
            }
            wallRatios.append(ours.at(0) / peer.at(0));
            cpuRatios.append(ours.at(1) / qMax(0.01, peer.at(1)));
            std::printf("  pair %d: menu %.1f ms (cpu %.1f ms, peak %.1f MB), bare window %.1f ms (cpu %.1f ms, "
                        "peak %.1f MB), ratio %.2f wall, %.2f cpu\n",
                        pair, ours.at(0), ours.at(1), ours.at(2), peer.at(0), peer.at(1), peer.at(2), wallRatios.last(),
                        cpuRatios.last());
            std::fflush(stdout);
        }
        const double cpu = medianOf(cpuRatios);
        std::printf("  median of %d pairs: %.2f wall, %.2f cpu (target at most 1.3: %s)\n", pairs, medianOf(wallRatios),
                    cpu, cpu <= 1.3 ? "met" : "MISSED");
        good = good && cpu <= 1.3;
    }
    return good ? 0 : 1;
}
