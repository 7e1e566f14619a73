#include "remote/urlfile.h"

#include "store/textfilereader.h"
#include "store/textfilewriter.h"
#include "store/textrules.h"

namespace UrlFile {

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
    return TextRules::canCarry(value);
}

void write(const QString &appDir, const QString &url, const QString &proxy)
{
    TextFileWriter writer(path(appDir), TextFileWriter::Mode::Replace);
    writer.writeTextLine(TextRules::fieldLine(url));
    writer.writeTextLine(TextRules::fieldLine(proxy));
    writer.close();
}

} // namespace UrlFile
