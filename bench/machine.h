#pragma once

#include <QDir>
#include <QList>
#include <QStorageInfo>
#include <QString>
#include <QThread>

#include <algorithm>
#include <cstdio>

// What every benchmark prints first: the machine's cores and the file system
// of the directory it works in, since a sync costs nothing on a tmpfs.
inline void printMachine(const QString &dir)
{
    const QStorageInfo storage(dir.isEmpty() ? QDir::tempPath() : dir);
    std::printf("machine: %d cores; %s on %s (%s)\n", QThread::idealThreadCount(),
                qPrintable(QDir::toNativeSeparators(dir.isEmpty() ? QDir::tempPath() : dir)),
                storage.fileSystemType().constData(), storage.device().constData());
}

inline double medianOf(QList<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}
