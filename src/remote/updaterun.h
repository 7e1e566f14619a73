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
    bool unreachable = false; // the server or proxy was not reached at all
};

struct Io
{
    std::function<Response(const QString &url)> requestPage;
    std::function<void(const QString &piece)> appendLog;
    std::function<void(const QString &caption)> setCaption;
};

// How a run ended. The window shows the same log either way; a run without
// windows turns this into its exit status.
struct Outcome
{
    // Every day up to today fetched, or the first day not yet published
    // (a missing page) reached.
    bool completed = false;
    // Why not, in words, when the run did not complete.
    QString failure;
};

Outcome run(const QString &appDir, const QString &dataUrl, const Io &io);

} // namespace UpdateRun
