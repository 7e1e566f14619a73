#pragma once

#include "remote/updaterun.h"

#include <QList>
#include <QString>

#include <functional>

// The download of the window without it, for `vellumark --download`: the same
// run over the data URL and proxy of url.dat, its caption and log lines
// printed and kept in download.log, and the outcome turned into an exit
// status. It holds the program directory's lock while it writes.
namespace ConsoleDownload {

enum Status : int {
    Completed = 0,
    Failed = 1, // could not start, or failed
    BadUsage = 2,
    Busy = 75, // another run holds the program directory
};

using Fetch = std::function<UpdateRun::Response(const QString &url)>;
using Pause = std::function<void(int seconds)>;

// The pauses before each further try of a page whose server or proxy could
// not be reached: growing, about ten minutes in all.
const QList<int> &retryPauses();

// Fetches a page, trying again after each pause while the server or proxy
// cannot be reached; the last response counts.
UpdateRun::Response fetchPatiently(const Fetch &fetch, const QString &url, const Pause &pause);

// Waits the given number of whole-second changes of the platform clock.
void waitOnClock(int seconds);

struct Io
{
    std::function<void(const QString &line)> out; // a line of standard output, without its end
    std::function<void(const QString &line)> err; // a line of standard error, without its end
    Pause pause = waitOnClock;
};

// Runs the download for the program directory and returns the exit status.
// The pages of interest it brought news of go to news, for a notification
// once the lock is released.
int run(const QString &appDir, const Io &io, QList<UpdateRun::News> *news = nullptr);

} // namespace ConsoleDownload
