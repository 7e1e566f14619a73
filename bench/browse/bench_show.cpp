// Times the content browser's first activation on the largest data set (the
// generated data set built by the program's own builder, every site in
// pages.udf), each in a fresh process, against a peer: a bare window of the
// same size whose list of the same size is filled from the same pages.udf.
// Runs in pairs; prints each pair, then the median ratios.
//   bench_show [size] [pairs] [directory]
#include "dataset.h"

#include "gui/kit/placement.h"
#include "gui/menu/form_menu.h"
#include "gui/kit/look.h"
#include "gui/kit/taskwindow.h"
#include "gui/browse/form_show.h"
#include "browse/pagesfile.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "store/builder.h"
#include "gui/kit/look.h"

#include <QAction>
#include <QFile>
#include <QStringDecoder>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include "../machine.h"
#include "../usage.h"

namespace {

void writePages(const BenchDataset::Dataset &dataset, const QString &appDir)
{
    QStringList entries;
    for (int k = 0; k < dataset.size(); ++k) {
        const BenchDataset::Site site = dataset.site(k);
        entries.append(PagesFile::entry(site.dataNumber, site.title));
    }
    PagesFile::write(appDir, entries);
}

void settle()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(); // deferred layouts and deletes
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// The peer: a window of the browser's size with a list of the same size,
// filled with the lines of pages.udf.
void showBareList(const QString &appDir, QWidget &window)
{
    window.setFixedSize(twips(6090), twips(6645));
    auto *list = new QListWidget(&window);
    placeTwips(list, 120, 4200, 5775, 1680);
    list->setSortingEnabled(true);
    list->setUniformItemSizes(true);
    QFile file(appDir + QStringLiteral("/pages.udf"));
    file.open(QIODevice::ReadOnly);
    QStringDecoder decoder("windows-31j");
    const QString text = decoder.decode(file.readAll());
    QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        lines.removeFirst(); // the count line
    list->addItems(lines);
    list->setCurrentRow(0);
    window.show();
}

// One first activation in this fresh process: "wall cpu" in milliseconds.
int runChild(bool ours, const QString &appDir)
{
    ProgramDir::setReported(appDir);
    setAppDir(appDir);
    SettingsStore::useFile(appDir + QStringLiteral("/settings.ini"));
    Form_Menu menu;
    QWidget peer;
    if (ours) {
        menu.show();
        settle();
    }
    QElapsedTimer timer;
    const double cpuStart = cpuMilliseconds();
    timer.start();
    if (ours) {
        auto *show = static_cast<Form_Show *>(menu.taskWindow(Form_Menu::Task::Show));
        QEventLoop wait;
        QObject::connect(show, &TaskWindow::activationDone, &wait, &QEventLoop::quit);
        menu.Cmd_Show->click();
        wait.exec();
        settle();
        show->repaint();
    } else {
        showBareList(appDir, peer);
        settle();
        peer.repaint();
    }
    std::printf("%.2f %.2f\n", timer.nsecsElapsed() / 1e6, cpuMilliseconds() - cpuStart);
    std::fflush(stdout);
    std::_Exit(0);
}

} // namespace

int main(int argc, char **argv)
{
    preferOffscreen();
    QApplication app(argc, argv);
    Look::apply();
    const QStringList args = app.arguments();
    if (args.size() == 3 && (args.at(1) == QLatin1String("--ours") || args.at(1) == QLatin1String("--peer")))
        return runChild(args.at(1) == QLatin1String("--ours"), args.at(2));
    const int size = numberArgument(args, 1, 32767);
    const int pairs = qMax(1, numberArgument(args, 2, 7));
    const QString base = baseArgument(args, 3);
    printMachine(base);

    QTemporaryDir dir(base + QStringLiteral("/bench_show-XXXXXX"));
    QTemporaryDir settingsDir;
    if (!dir.isValid() || !settingsDir.isValid())
        qFatal("no directory in %s", qPrintable(base));
    ProgramDir::setReported(dir.path());
    setAppDir(dir.path());
    SettingsStore::useFile(settingsDir.path() + QStringLiteral("/settings.ini"));
    const BenchDataset::Dataset dataset(size);
    QElapsedTimer timer;
    timer.start();
    try {
        dataset.writeInputs(AppDir());
        DataFileBuilder().BuildDataFiles(AppDir());
        writePages(dataset, AppDir());
    } catch (const RunError &error) {
        std::fprintf(stderr, "failure %d: %s\n", error.number(), qPrintable(error.detail()));
        return 1;
    }
    std::printf("data set: %d sites, %d pages of interest (generated and built in %.1f s)\n", dataset.size(),
                dataset.size(), timer.elapsed() / 1000.0);

    QList<double> wallRatios, cpuRatios;
    for (int pair = 1; pair <= pairs; ++pair) {
        QList<double> ours, peer; // wall and cpu time
        if (!runPair(
                pair, [&](bool side) { return sideFigures(side, dir.path(), 2, 120000); }, ours, peer)) {
            std::fprintf(stderr, "pair %d failed\n", pair);
            return 1;
        }
        wallRatios.append(ours.at(0) / qMax(0.01, peer.at(0)));
        cpuRatios.append(ours.at(1) / qMax(0.01, peer.at(1)));
        std::printf("pair %d: first activation %.1f ms (cpu %.1f ms), bare list window %.1f ms (cpu %.1f ms), "
                    "ratio %.2f wall, %.2f cpu\n",
                    pair, ours.at(0), ours.at(1), peer.at(0), peer.at(1), wallRatios.last(), cpuRatios.last());
        std::fflush(stdout);
    }
    std::printf("median of %d pairs: %.2f wall, %.2f cpu\n", pairs, medianOf(wallRatios), medianOf(cpuRatios));
    return 0;
}
