#pragma once

#include <QString>

// The daily check: a run of "vellumark --download" once a day, switched on
// and off by the user. Each program directory has a schedule of its own, so
// switching one never touches another's. On Linux it is a systemd user timer;
// elsewhere it is not available yet.
namespace Schedule {

struct Result
{
    bool ok = false;
    QString message; // for the user: what was done, or why not
};

struct Status
{
    bool available = false; // false: this platform has no schedule yet
    bool on = false;
    QString nextRun; // as the scheduler tells it; empty when it cannot
};

// Switches the daily run of program (an absolute path) on for appDir.
Result switchOn(const QString &appDir, const QString &program);
// Switches it off and forgets it, the scheduler's stored state included.
Result switchOff(const QString &appDir);
Status status(const QString &appDir);

// The name of appDir's units without their suffix, "vellumark-" and a short
// hash of the absolute directory.
QString unitName(const QString &appDir);

} // namespace Schedule
