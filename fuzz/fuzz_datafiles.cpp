// The browser's readers of number.sdf, .ibd and .iud on any bytes: the part
// before a NUL byte is number.sdf and the .ibd, the part after it the .iud.
#include "fuzzsupport.h"

#include "platform/runerror.h"
#include "store/datafiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::Sandbox &sandbox = Fuzz::Sandbox::instance();
    sandbox.clear();
    const QByteArray first = Fuzz::firstPart(data, size);
    const QByteArray second = Fuzz::secondPart(data, size);
    sandbox.writeFile(QStringLiteral("number.sdf"), first);
    sandbox.writeFile(QStringLiteral("data/000007.ibd"), first);
    sandbox.writeFile(QStringLiteral("data/000007.iud"), second.isNull() ? first : second);

    const DataFiles::SiteDescription site = DataFiles::readDescription(sandbox.appDir(), 7);
    Fuzz::check(site.title.isEmpty() || !site.dataNumber.isEmpty(), "title without a data number");
    const DataFiles::UpdateState state = DataFiles::readUpdateState(sandbox.appDir(), 7);
    Fuzz::check(state.lastModified.size() <= 19, "last modified longer than 19");
    Fuzz::check(state.checkDate.size() <= 10, "check date longer than 10");
    Fuzz::check(state.methodCode >= 0 && state.methodCode <= 4, "method code out of range");
    try {
        const QList<qint16> numbers = DataFiles::readSiteNumbers(sandbox.appDir());
        Fuzz::check(numbers.size() <= first.size(), "more site numbers than bytes");
    } catch (const RunError &error) {
        Fuzz::checkKnown(error);
    }
    // A site the files do not have shows empty.
    const DataFiles::SiteDescription missing = DataFiles::readDescription(sandbox.appDir(), 8);
    Fuzz::check(missing.title.isEmpty() && missing.sections.isEmpty(), "a missing site shows something");
    sandbox.checkNothingOutside();
    return 0;
}
