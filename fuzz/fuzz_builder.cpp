// The builder on a delivered data set: all-info.idf, a NUL byte, update.idf.
#include "fuzzsupport.h"

#include "platform/runerror.h"
#include "store/builder.h"
#include "store/datafiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::Sandbox &sandbox = Fuzz::Sandbox::instance();
    sandbox.clear();
    sandbox.writeFile(QStringLiteral("all-info.idf"), Fuzz::firstPart(data, size));
    sandbox.writeFile(QStringLiteral("update.idf"), Fuzz::secondPart(data, size));
    // One builder for every input: its id tables take megabytes to set up,
    // and a build resets all of them it reads before it reads them.
    static DataFileBuilder builder;
    try {
        builder.BuildDataFiles(sandbox.appDir());
    } catch (const RunError &error) {
        Fuzz::checkKnown(error);
    }
    sandbox.checkNothingOutside();
    // Whatever it left, the browser can read.
    try {
        for (qint16 number : DataFiles::readSiteNumbers(sandbox.appDir())) {
            DataFiles::readDescription(sandbox.appDir(), number);
            DataFiles::readUpdateState(sandbox.appDir(), number);
        }
    } catch (const RunError &error) {
        Fuzz::checkKnown(error);
    }
    return 0;
}
