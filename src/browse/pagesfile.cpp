#include "browse/pagesfile.h"

#include "platform/runerror.h"
#include "store/textfilereader.h"
#include "store/textfilewriter.h"
#include "store/textrules.h"
#include "store/textutil.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
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

QString siteDigits(QStringView entry)
{
    const double number = std::fabs(std::nearbyint(TextRules::leadingNumber(entry.left(6))));
    return QString::number(qint64(number)).rightJustified(6, QLatin1Char('0'));
}

QList<qint16> pageNumbers(const QStringList &entries)
{
    static const QRegularExpression number(QStringLiteral("^[ \\t]*[-+]?(\\d|\\.\\d)"));
    QList<qint16> numbers;
    for (const QString &entry : entries) {
        if (!number.match(QStringView(entry).left(6)).hasMatch())
            continue;
        try {
            numbers.append(dataNumber(entry));
        } catch (const RunError &) {
            // beyond 16 bits: no site of this program
        }
    }
    return numbers;
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
    // Every entry is kept as it stands, even one that names no site: the
    // list is written back whole.
    while (reader->anythingLeft())
        contents.entries.append(reader->readField());
    return contents;
}

void write(const QString &appDir, QStringList entries)
{
    // The same order as the browser's sorted list, whatever the caller holds.
    std::sort(entries.begin(), entries.end());
    TextFileWriter writer(path(appDir), TextFileWriter::Mode::ReplaceOrOverwrite);
    writer.writeNumberLine(entries.size());
    for (const QString &entry : std::as_const(entries))
        writer.writeTextLine(TextRules::fieldLine(entry));
    writer.close();
}

} // namespace PagesFile
