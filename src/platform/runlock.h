#pragma once

#include <QDateTime>
#include <QLockFile>
#include <QString>

#include <functional>

// The lock of the program directory: one run at a time writes it (a build,
// a download from the window or the command line, a save). A lock left by a
// run that was killed or crashed is taken over at once: the lock file names
// the process, and a process that is gone holds nothing.
class RunLock
{
public:
    enum class Holder { Unknown, Build, WindowDownload, CommandDownload, Save };
    // How long a save waits for another run to finish writing, in ms.
    static constexpr int kSaveWait = 3000;

    explicit RunLock(const QString &appDir);
    ~RunLock();
    RunLock(const RunLock &) = delete;
    RunLock &operator=(const RunLock &) = delete;

    // Takes the lock for the holder, waiting up to waitMs for another run to
    // let it go. On failure busyText() says why.
    bool tryLock(Holder holder, int waitMs = 0);
    void unlock();

    // After a failed tryLock: whether another run holds the lock (rather
    // than the lock file not being made at all).
    bool busy() const { return m_busy; }
    // After a failed tryLock: which run held the lock and since when; Unknown
    // and an invalid time when the lock file could not be made at all.
    Holder otherHolder() const { return m_otherHolder; }
    QDateTime otherSince() const { return m_otherSince; }
    // A line for the user: who holds the folder and since when, or why the
    // lock file could not be made.
    QString busyText() const;

    // Runs a save of the user's files under the lock, waiting for another run
    // up to kSaveWait; the reason it failed, or empty when it was saved.
    static QString save(const QString &appDir, const std::function<void()> &write);

    static QString path(const QString &appDir);
    static QString holderName(Holder holder);

private:
    void readOther();

    QString m_appDir;
    QLockFile m_file;
    bool m_locked = false;
    bool m_busy = false;
    Holder m_otherHolder = Holder::Unknown;
    QDateTime m_otherSince;
};
