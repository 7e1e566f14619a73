// Saves one of the program's files over and over, old and new content in
// turn, and reports each whole save on a line. The crash test kills it.
//   savewriter <program directory> pages.udf|url.dat|iud|page
#include "savecases.h"

#include "platform/runerror.h"

#include <cstdio>

int main(int argc, char **argv)
{
    SaveCases::Kind kind;
    if (argc != 3 || !SaveCases::kindFor(QString::fromLocal8Bit(argv[2]), kind)) {
        std::fprintf(stderr, "usage: savewriter <dir> pages.udf|url.dat|iud|page\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    // Bounded, so that a test that dies first leaves no writer behind for long.
    for (int n = 1; n <= 20000; ++n) {
        try {
            SaveCases::save(kind, dir, n % 2);
        } catch (const RunError &error) {
            std::fprintf(stderr, "save failed: %d\n", error.number());
            return 1;
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
