// Writes the url.dat an installation starts with, no data URL and no proxy,
// into the directory named, through the program's own writer.
#include "platform/runerror.h"
#include "remote/urlfile.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: urldat DIRECTORY\n");
        return 2;
    }
    try {
        UrlFile::write(arguments.at(1), QString(), QString());
    } catch (const RunError &error) {
        std::fprintf(stderr, "url.dat: %s\n", qPrintable(error.reason()));
        return 1;
    }
    return 0;
}
