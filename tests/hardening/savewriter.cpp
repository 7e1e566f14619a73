// Saves one of the program's files over and over, old and new content in
// turn, and reports each whole save on a line. The crash test kills it.
//   savewriter <program directory> pages.udf|page
// With "build" instead, it builds the data files there once.
#include "savecases.h"

#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "store/builder.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc == 3 && QString::fromLocal8Bit(argv[2]) == QLatin1String("build")) {
        const QString dir = QString::fromLocal8Bit(argv[1]);
        setAppDir(dir);
        SettingsStore::useFile(dir + QStringLiteral("/settings.ini"));
        std::printf("building\n");
        std::fflush(stdout);
        try {
            DataFileBuilder().BuildDataFiles();
        } catch (const RunError &error) {
            std::fprintf(stderr, "build failed: %d\n", error.number());
            return 1;
        }
        return 0;
    }
    if (argc != 3 || !SaveCases::known(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "usage: savewriter <dir> pages.udf|page|build\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    // Bounded, so that a test that dies first leaves no writer behind for long.
    for (int n = 1; n <= 20000; ++n) {
        try {
            SaveCases::save(QString::fromLocal8Bit(argv[2]), dir, n % 2);
        } catch (const RunError &error) {
            std::fprintf(stderr, "save failed: %d\n", error.number());
            return 1;
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
