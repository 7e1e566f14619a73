#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QList>
#include <QProcess>
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

// Windows are drawn off screen unless the caller chose a platform.
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The command line's number at index, or the fallback when it has none there.
inline int numberArgument(const QStringList &args, qsizetype index, int fallback)
{
    return args.size() > index ? args.at(index).toInt() : fallback;
}

// The directory to work in: the command line's at index, else the program's own.
inline QString baseArgument(const QStringList &args, qsizetype index)
{
    return args.size() > index ? args.at(index) : QCoreApplication::applicationDirPath();
}

inline double medianOf(QList<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// Runs this benchmark again as a child process with the arguments and returns
// the count figures it prints; empty when it fails, runs out of time or
// prints another count.
inline QList<double> childFigures(const QStringList &arguments, qsizetype count, int timeoutMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(timeoutMs) || child.exitCode() != 0)
        return {};
    const QList<QByteArray> printed = child.readAllStandardOutput().simplified().split(' ');
    if (printed.size() != count)
        return {};
    QList<double> figures;
    for (const QByteArray &figure : printed)
        figures.append(figure.toDouble());
    return figures;
}

// A run of ours or of the peer as a child process on the program directory:
// the figures it prints, as childFigures gives them.
inline QList<double> sideFigures(bool ours, const QString &appDir, qsizetype count, int timeoutMs)
{
    return childFigures({ours ? QStringLiteral("--ours") : QStringLiteral("--peer"), appDir}, count, timeoutMs);
}

// One pair of runs, ours and the peer's, each the figures run(ours) gives.
// Which goes first alternates with the pair's number, so that a drift of the
// machine hits both. False when either run failed.
template <typename Run> bool runPair(int pair, Run run, QList<double> &ours, QList<double> &peer)
{
    for (const bool side : {pair % 2 != 0, pair % 2 == 0}) {
        QList<double> &figures = side ? ours : peer;
        figures = run(side);
        if (figures.isEmpty())
            return false;
    }
    return true;
}
