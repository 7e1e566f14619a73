#pragma once

#include <QList>
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

// A page of interest that got a later last update than it had before the
// run: the run marks it (NewsMarks) and reports it.
struct News
{
    qint16 dataNumber = 0;
    QString title; // as pages.udf lists it
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
    // The pages of interest it brought news of, in the order found; they
    // are marked in NewsMarks too.
    QList<News> news;
};

Outcome run(const QString &appDir, const QString &dataUrl, const Io &io);

} // namespace UpdateRun
