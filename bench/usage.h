#pragma once

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

// What a process has used, as the platform tells it; -1 where it does not.

// The process's peak resident memory in megabytes.
inline double peakMegabytes()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
#else
    return -1.0;
#endif
}

// CPU time (user + system) in milliseconds, of this process or of its
// children that have ended: less disturbed than wall-clock time by whatever
// else the machine is doing.
inline double cpuMilliseconds(bool children = false)
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(children ? RUSAGE_CHILDREN : RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
#else
    (void)children;
    return -1.0;
#endif
}
