// Saves one of the program's files over and over, old and new content in
// turn, and reports each whole save on a line. The crash test kills it.
//   savewriter <program directory> pages.udf|url.dat|page
// With "build" instead, it builds the data files there once and says "built".
#include "savecases.h"

#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "store/builder.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[2]) == "build") {
        const QString dir = QString::fromLocal8Bit(argv[1]);
        SettingsStore::useFile(dir + QStringLiteral("/settings.ini"));
        try {
            DataFileBuilder().BuildDataFiles(dir);
        } catch (const RunError &error) {
            std::fprintf(stderr, "build failed: %d\n", error.number());
            return 1;
        }
        std::printf("built\n");
        return 0;
    }
    if (argc != 3 || !SaveCases::known(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "usage: savewriter <dir> pages.udf|url.dat|page\n");
        return 2;
    }
    // Bounded, so that a test that dies first leaves no writer behind for long.
    for (int n = 1; n <= 20000; ++n) {
        try {
            SaveCases::save(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[1]), n % 2);
        } catch (const RunError &error) {
            std::fprintf(stderr, "save failed: %d\n", error.number());
            return 1;
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
