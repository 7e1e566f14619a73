#include "urlfile.h"

#include "store/textfile.h"

namespace UrlFile {

namespace {

bool needsQuotes(const QString &value)
{
    return !value.isEmpty()
        && (value.contains(QLatin1Char(',')) || TextRules::isBlank(value.front())
            || TextRules::isBlank(value.back()));
}

} // namespace

QString path(const QString &appDir)
{
    return appDir + QStringLiteral("/url.dat");
}

void read(const QString &appDir, Values &values)
{
    TextFileReader reader(path(appDir));
    values.url = reader.readField();
    values.fieldsRead = 1;
    values.proxy = reader.readField();
    values.fieldsRead = 2;
}

bool canCarry(const QString &value)
{
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
        return false;
    if (value.startsWith(QLatin1Char('"')))
        return false;
    return !(needsQuotes(value) && value.contains(QLatin1Char('"')));
}

QString lineFor(const QString &value)
{
    return needsQuotes(value) ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

void write(const QString &appDir, const QString &url, const QString &proxy)
{
    TextFileWriter writer(path(appDir), TextFileWriter::Mode::Replace);
    writer.writeTextLine(lineFor(url));
    writer.writeTextLine(lineFor(proxy));
    writer.close();
}

} // namespace UrlFile
