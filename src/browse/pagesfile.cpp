#include "pagesfile.h"

#include "platform/runerror.h"
#include "store/textfile.h"
#include "store/textutil.h"

#include <algorithm>
#include <optional>

namespace PagesFile {

QString path(const QString &appDir)
{
    return appDir + QStringLiteral("/pages.udf");
}

QString entry(qint16 dataNumber, const QString &title)
{
    return TextUtil::Pad6(dataNumber) + QLatin1Char(' ') + title;
}

qint16 dataNumber(QStringView entry)
{
    return TextRules::number16(entry.left(6));
}

Contents read(const QString &appDir)
{
    Contents contents;
    std::optional<TextFileReader> reader;
    try {
        reader.emplace(path(appDir));
    } catch (const RunError &error) {
        if (error.number() == RunError::FileNotFound)
            return contents; // not saved yet
        throw;
    }
    if (!reader->anythingLeft())
        return contents;
    try {
        contents.count = TextRules::number16(reader->readField());
    } catch (const RunError &error) {
        if (error.number() != RunError::Overflow)
            throw;
    }
    while (reader->anythingLeft()) {
        QString field = reader->readField();
        // A stray blank line is no page of interest.
        if (field.isEmpty())
            continue;
        try {
            dataNumber(field);
        } catch (const RunError &error) {
            if (error.number() != RunError::Overflow)
                throw;
            continue; // not a site this program can name
        }
        contents.entries.append(std::move(field));
    }
    return contents;
}

void write(const QString &appDir, QStringList entries)
{
    // The same order as the browser's sorted list, whatever the caller holds.
    std::sort(entries.begin(), entries.end());
    TextFileWriter writer(path(appDir), TextFileWriter::Mode::Replace);
    writer.writeNumberLine(entries.size());
    for (const QString &entry : std::as_const(entries))
        writer.writeTextLine(entry);
    writer.close();
}

} // namespace PagesFile
