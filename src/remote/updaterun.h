#pragma once

#include <QString>

#include <functional>

// The download of the daily status pages, from the stored day up to today:
// each page's records rewrite the listed sites' update-state files, and the
// next day to fetch is stored. The window supplies the page request and
// shows the log and the date range.
namespace UpdateRun {

struct Response
{
    QString header; // the header block, beginning with the status line
    QString body;
    QString failure; // why no response came, in words; empty when one did
};

struct Io
{
    std::function<Response(const QString &url)> requestPage;
    std::function<void(const QString &piece)> appendLog;
    std::function<void(const QString &caption)> setCaption;
};

void run(const QString &appDir, const QString &dataUrl, const Io &io);

} // namespace UpdateRun
