// pages.udf as the browser reads it, and written back.
#include "fuzzsupport.h"

#include "browse/pagesfile.h"
#include "platform/runerror.h"
#include "store/textrules.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::Sandbox &sandbox = Fuzz::Sandbox::instance();
    sandbox.clear();
    sandbox.writeFile(QStringLiteral("pages.udf"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    PagesFile::Contents contents;
    try {
        contents = PagesFile::read(sandbox.appDir());
    } catch (const RunError &error) {
        Fuzz::checkKnown(error);
        return 0;
    }
    // Every entry is kept as it stands and names six digits of site files;
    // whatever the field rule can read comes back from a save exactly, in
    // ascending order.
    QStringList kept;
    for (const QString &entry : std::as_const(contents.entries)) {
        Fuzz::check(PagesFile::siteDigits(entry).size() == 6, "no six digits", entry);
        if (TextRules::canCarry(entry))
            kept.append(entry);
    }
    try {
        PagesFile::write(sandbox.appDir(), kept);
        const PagesFile::Contents back = PagesFile::read(sandbox.appDir());
        std::sort(kept.begin(), kept.end());
        Fuzz::check(back.entries == kept, "entries do not come back from a save", kept.join(QLatin1Char('|')));
        Fuzz::check(back.count == kept.size(), "count line differs from the entries");
    } catch (const RunError &error) {
        Fuzz::checkKnown(error);
    }
    sandbox.checkNothingOutside();
    return 0;
}
