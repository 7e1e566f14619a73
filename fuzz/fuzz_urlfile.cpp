// url.dat as the program reads it; what it can carry comes back exactly.
#include "fuzzsupport.h"

#include "platform/runerror.h"
#include "remote/urlfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::Sandbox &sandbox = Fuzz::Sandbox::instance();
    sandbox.clear();
    sandbox.writeFile(QStringLiteral("url.dat"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    UrlFile::Values values;
    try {
        UrlFile::read(sandbox.appDir(), values);
    } catch (const RunError &error) {
        Fuzz::checkKnown(error);
    }
    Fuzz::check(values.fieldsRead >= 0 && values.fieldsRead <= 2, "fields read");
    if (UrlFile::canCarry(values.url) && UrlFile::canCarry(values.proxy)) {
        try {
            UrlFile::write(sandbox.appDir(), values.url, values.proxy);
            UrlFile::Values back;
            UrlFile::read(sandbox.appDir(), back);
            Fuzz::check(back.url == values.url, "url does not come back", values.url);
            Fuzz::check(back.proxy == values.proxy, "proxy does not come back", values.proxy);
        } catch (const RunError &error) {
            Fuzz::checkKnown(error);
        }
    }
    sandbox.checkNothingOutside();
    return 0;
}
