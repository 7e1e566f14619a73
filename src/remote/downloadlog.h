#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// download.log in the program directory: what each download without windows
// printed, UTF-8 with LF line ends, the newest run last. One run is
//
//   == 2026-12-08T03:00:05+09:00 開始
//   2026/12/07 ->2026/12/08          (the caption, then the log lines)
//   2026/12/07 終了
//   完了
//   == 2026-12-08T03:00:09+09:00 終了 0 完了
//
// The start line is written when the run begins, the rest when it ends; the
// end line carries the exit status and the result in words. A run that was
// killed has no end line. The oldest whole runs are dropped to keep the file
// near kLimit bytes.
namespace DownloadLog {

constexpr qint64 kLimit = 1024 * 1024;

QString path(const QString &appDir);

// Both throw a RunError when the file cannot be written.
void begin(const QString &appDir, const QDateTime &start);
void end(const QString &appDir, const QStringList &lines, const QDateTime &end, int status, const QString &result);

struct Run
{
    QDateTime start; // invalid when the log holds no run
    bool ended = false;
    QDateTime end;
    int status = 0;
    QString result;
};

// The newest run of the log.
Run lastRun(const QString &appDir);

} // namespace DownloadLog
