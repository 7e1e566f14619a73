#pragma once

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

// The process's peak resident memory in megabytes, or -1 where the platform
// does not tell.
inline double peakMegabytes()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
#else
    return -1.0;
#endif
}
