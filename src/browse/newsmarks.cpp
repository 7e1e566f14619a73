#include "browse/newsmarks.h"

#include "browse/pagesfile.h"
#include "platform/datetext.h"
#include "platform/runerror.h"
#include "store/textfilereader.h"
#include "store/textfilewriter.h"
#include "store/textutil.h"

#include <algorithm>

namespace NewsMarks {

namespace {

void write(const QString &appDir, const QSet<qint16> &marks)
{
    QList<qint16> sorted(marks.begin(), marks.end());
    std::sort(sorted.begin(), sorted.end());
    TextFileWriter writer(path(appDir), TextFileWriter::Mode::Replace);
    for (qint16 number : std::as_const(sorted))
        writer.writeTextLine(TextUtil::Pad6(number));
    writer.close();
}

} // namespace

QString path(const QString &appDir)
{
    return appDir + QStringLiteral("/news.dat");
}

QSet<qint16> read(const QString &appDir)
{
    QSet<qint16> marks;
    try {
        TextFileReader reader(path(appDir));
        QStringList fields;
        while (reader.anythingLeft())
            fields.append(reader.readField());
        // Read as the list's entries are: what names no page marks none.
        for (qint16 number : PagesFile::pageNumbers(fields))
            marks.insert(number);
    } catch (const RunError &) {
        // none marked
    }
    return marks;
}

void add(const QString &appDir, const QList<qint16> &dataNumbers)
{
    QSet<qint16> marks = read(appDir);
    const qsizetype before = marks.size();
    for (qint16 number : dataNumbers)
        marks.insert(number);
    if (marks.size() != before)
        write(appDir, marks);
}

void seen(const QString &appDir, const QList<qint16> &dataNumbers)
{
    QSet<qint16> marks = read(appDir);
    bool changed = false;
    for (qint16 number : dataNumbers)
        changed = marks.remove(number) || changed;
    if (changed)
        write(appDir, marks);
}

bool isLater(const QString &lastModified, const QString &before)
{
    const QDateTime now = DateText::readDateTime(lastModified);
    if (!now.isValid())
        return false;
    const QDateTime then = DateText::readDateTime(before);
    return !then.isValid() || now > then;
}

} // namespace NewsMarks
