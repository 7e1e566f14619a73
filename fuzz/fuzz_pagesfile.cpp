// pages.udf as the browser reads it, and written back.
#include "fuzzsupport.h"

#include "browse/pagesfile.h"
#include "platform/runerror.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::Sandbox &sandbox = Fuzz::Sandbox::instance();
    sandbox.clear();
    sandbox.writeFile(QStringLiteral("pages.udf"),
                      QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    PagesFile::Contents contents;
    try {
        contents = PagesFile::read(sandbox.appDir());
    } catch (const RunError &error) {
        Fuzz::checkKnown(error);
        return 0;
    }
    for (const QString &entry : std::as_const(contents.entries)) {
        Fuzz::check(!entry.isEmpty(), "empty entry");
        try {
            PagesFile::dataNumber(entry);
        } catch (const RunError &error) {
            Fuzz::fail("an entry read whose number fails", entry);
        }
    }
    // Entries the field rule leaves whole come back from a save exactly, in
    // ascending order. (A comma splits a title in two: the file's own rule.)
    const auto whole = [](const QString &entry) {
        return !entry.contains(QLatin1Char(',')) && !entry.contains(QLatin1Char('\r'))
            && !entry.contains(QLatin1Char('\n')) && !entry.startsWith(QLatin1Char('"'))
            && !entry.front().isSpace() && !entry.back().isSpace() && entry.front() != QLatin1Char('\t')
            && entry.back() != QLatin1Char('\t');
    };
    QStringList kept;
    for (const QString &entry : std::as_const(contents.entries)) {
        if (whole(entry))
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
