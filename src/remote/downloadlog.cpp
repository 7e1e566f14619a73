#include "remote/downloadlog.h"

#include "platform/files.h"
#include "platform/runerror.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

namespace DownloadLog {

namespace {

// A run's own lines are kept within this; a year of pages logs megabytes.
constexpr qint64 kRunLimit = kLimit / 2;

QString stamp(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

const QRegularExpression &startLine()
{
    static const QRegularExpression line(QStringLiteral("^== (\\S+) 開始$"));
    return line;
}

const QRegularExpression &endLine()
{
    static const QRegularExpression line(QStringLiteral("^== (\\S+) 終了 (-?[0-9]{1,3})(?: (.*))?$"));
    return line;
}

QByteArray utf8Line(const QString &line)
{
    return line.toUtf8() + '\n';
}

void append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    Files::openAppend(file);
    if (file.write(bytes) != bytes.size() || !file.flush())
        Files::throwWriteFailure(file);
}

// The last maxSize bytes of the log, from its first whole line on.
QByteArray tail(const QString &path, qint64 maxSize, bool *cut = nullptr)
{
    QFile file(path);
    Files::openRead(file);
    const qint64 size = file.size();
    if (cut)
        *cut = size > maxSize;
    if (size <= maxSize)
        return Files::readSome(file, size);
    file.seek(size - maxSize);
    QByteArray bytes = Files::readSome(file, maxSize);
    return bytes.mid(bytes.indexOf('\n') + 1);
}

// The lines that fit: the caption, a line for what was left out, and the
// newest lines, which end with the result.
QStringList bounded(const QStringList &lines)
{
    qint64 size = 0;
    for (const QString &line : lines)
        size += line.toUtf8().size() + 1;
    if (size <= kRunLimit || lines.size() < 2)
        return lines;
    QStringList kept;
    qint64 keptSize = 0;
    qsizetype first = lines.size();
    while (first > 1) {
        const qint64 lineSize = lines.at(first - 1).toUtf8().size() + 1;
        if (keptSize + lineSize > kRunLimit - 256)
            break;
        keptSize += lineSize;
        --first;
    }
    kept.append(lines.first());
    kept.append(QStringLiteral("（%1 行を省略しました）").arg(first - 1));
    kept.append(lines.mid(first));
    return kept;
}

// Drops the oldest whole runs until the file is within the limit.
void trim(const QString &path)
{
    bool cut = false;
    QByteArray bytes = tail(path, kLimit, &cut);
    if (!cut)
        return;
    qsizetype from = 0;
    while (from < bytes.size()) {
        qsizetype next = bytes.indexOf('\n', from);
        if (next < 0)
            next = bytes.size();
        if (startLine().match(QString::fromUtf8(bytes.mid(from, next - from))).hasMatch())
            break;
        from = next + 1;
    }
    if (from < bytes.size())
        bytes = bytes.mid(from);
    QSaveFile file(path);
    Files::openReplace(file);
    if (file.write(bytes) != bytes.size() || !file.commit())
        Files::throwWriteFailure(file);
}

} // namespace

QString path(const QString &appDir)
{
    return appDir + QStringLiteral("/download.log");
}

void begin(const QString &appDir, const QDateTime &start)
{
    append(path(appDir), utf8Line(QStringLiteral("== ") + stamp(start) + QStringLiteral(" 開始")));
}

void end(const QString &appDir, const QStringList &lines, const QDateTime &end, int status, const QString &result)
{
    QByteArray bytes;
    for (const QString &line : bounded(lines))
        bytes += utf8Line(line);
    QString last = QStringLiteral("== ") + stamp(end) + QStringLiteral(" 終了 ") + QString::number(status);
    if (!result.isEmpty())
        last += QLatin1Char(' ') + QString(result).replace(QLatin1Char('\n'), QLatin1Char(' '));
    bytes += utf8Line(last);
    append(path(appDir), bytes);
    trim(path(appDir));
}

Run lastRun(const QString &appDir)
{
    Run run;
    QByteArray bytes;
    try {
        bytes = tail(path(appDir), 2 * kLimit);
    } catch (const RunError &) {
        return run;
    }
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QRegularExpressionMatch start = startLine().match(lines.at(i));
        if (!start.hasMatch())
            continue;
        run.start = QDateTime::fromString(start.captured(1), Qt::ISODate);
        for (qsizetype j = i + 1; j < lines.size(); ++j) {
            const QRegularExpressionMatch end = endLine().match(lines.at(j));
            if (!end.hasMatch())
                continue;
            run.ended = true;
            run.end = QDateTime::fromString(end.captured(1), Qt::ISODate);
            run.status = end.captured(2).toInt();
            run.result = end.captured(3);
            break;
        }
        break;
    }
    return run;
}

} // namespace DownloadLog
