// Writes the largest delivered data set into a directory:
//   vellumark_make_dataset <dir> [size] [depth]
#include "../machine.h"
#include "dataset.h"

#include "platform/runerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: vellumark_make_dataset <dir> [size] [depth]\n");
        return 2;
    }
    const QString dir = QDir(args.at(1)).absolutePath();
    const int size = numberArgument(args, 2, 32767);
    const int depth = numberArgument(args, 3, 20);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir));
        return 1;
    }
    try {
        BenchDataset::Dataset(size, depth).writeInputs(dir);
    } catch (const RunError &error) {
        std::fprintf(stderr, "failure %d: %s\n", error.number(), qPrintable(error.detail()));
        return 1;
    }
    std::printf("all-info.idf and update.idf written to %s\n", qPrintable(dir));
    return 0;
}
