// Lays out a demo program directory with the sample data set and writes the
// daily status pages that a static web server serves at the data URL:
//   demodata <program directory> <pages directory> <data URL> [yyyy-mm-dd]
// The date stands for today (default: the real today). Files the user already
// has are kept; only the daily pages are written anew.

#include "platform/runerror.h"
#include "sampledata.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4 || args.size() > 5) {
        std::fprintf(stderr, "usage: demodata <program directory> <pages directory> <data URL> [yyyy-mm-dd]\n");
        return 2;
    }
    SampleData::Layout layout;
    layout.programDir = QDir::fromNativeSeparators(args[1]);
    layout.pagesDir = QDir::fromNativeSeparators(args[2]);
    layout.dataUrl = args[3];
    layout.today = args.size() == 5 ? QDate::fromString(args[4], Qt::ISODate) : QDate::currentDate();
    if (!layout.today.isValid()) {
        std::fprintf(stderr, "demodata: not a date: %s\n", qPrintable(args[4]));
        return 2;
    }
    try {
        for (const QString &line : SampleData::layOut(layout))
            std::printf("%s\n", qPrintable(line));
    } catch (const RunError &error) {
        std::fprintf(stderr, "demodata: %s %s\n", qPrintable(error.reason()), qPrintable(error.detail()));
        return 1;
    }
    return 0;
}
