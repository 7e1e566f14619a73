// Saves one of the program's files over and over, old and new content in
// turn, and reports each whole save on a line. The crash test kills it.
//   savewriter <program directory> pages.udf|url.dat|page
#include "savecases.h"

#include "platform/runerror.h"

#include <cstdio>

int main(int argc, char **argv)
{
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
