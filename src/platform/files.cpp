#include "platform/files.h"

#include "platform/runerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>

#ifdef Q_OS_LINUX
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString parentOf(const QString &path)
{
    const QString dir = QFileInfo(path).path();
    return dir.isEmpty() ? QStringLiteral(".") : dir;
}

// errno is read straight after the failed call, before anything can change it.
int numberForErrno(int err, int fallback)
{
    switch (err) {
    case ENOENT:
        return RunError::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return RunError::PermissionDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return RunError::DiskFull;
    default:
        return fallback;
    }
}

[[noreturn]] void throwOpenFailure(const QFileDevice &file, const QString &path, int err)
{
    if (!QFileInfo::exists(parentOf(path)))
        throw RunError(RunError::PathNotFound, path);
    int number = numberForErrno(err, RunError::PathFileAccess);
    if (number == RunError::PathNotFound)
        number = RunError::PathFileAccess; // the directory is there: something else is wrong
    throw RunError(number, path + QStringLiteral(": ") + file.errorString());
}

#ifdef Q_OS_LINUX
[[noreturn]] void throwErrnoFailure(const QString &path, int err)
{
    throw RunError(numberForErrno(err, RunError::PathFileAccess),
                   path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err)));
}

// The name QSaveFile would give: the target's, a dot and six characters.
QString temporaryName(const QString &target)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = target + QLatin1Char('.');
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(kChars[QRandomGenerator::global()->bounded(62)]);
    return name;
}
#endif

} // namespace

namespace Files {

void openRead(QFile &file)
{
    const QString path = file.fileName();
    if (!file.open(QIODevice::ReadOnly)) {
        const int err = errno;
        if (!QFileInfo::exists(path)) {
            throw RunError(QFileInfo::exists(parentOf(path)) ? RunError::FileNotFound : RunError::PathNotFound, path);
        }
        throwOpenFailure(file, path, err);
    }
    if (QFileInfo(path).isDir())
        throw RunError(RunError::PathFileAccess, path);
}

namespace {

QByteArray checkedRead(QFile &file, const QByteArray &bytes)
{
    if (file.error() != QFileDevice::NoError)
        throw RunError(RunError::PathFileAccess, file.fileName() + QStringLiteral(": ") + file.errorString());
    return bytes;
}

} // namespace

QByteArray readSome(QFile &file, qint64 maxSize)
{
    return checkedRead(file, file.read(maxSize));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    openRead(file);
    return checkedRead(file, file.readAll());
}

void openWrite(QFile &file)
{
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throwOpenFailure(file, file.fileName(), errno);
}

void openAppend(QFile &file)
{
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throwOpenFailure(file, file.fileName(), errno);
}

void openReplace(QSaveFile &file, bool overwrite)
{
    file.setDirectWriteFallback(overwrite);
    if (!file.open(QIODevice::WriteOnly))
        throwOpenFailure(file, file.fileName(), errno);
}

void throwWriteFailure(const QFileDevice &file)
{
    const int err = errno;
    int number = file.error() == QFileDevice::ResourceError ? int(RunError::DiskFull)
                                                            : numberForErrno(err, RunError::PathFileAccess);
    if (number == RunError::PathNotFound)
        number = RunError::PathFileAccess;
    throw RunError(number, file.fileName() + QStringLiteral(": ") + file.errorString());
}

bool exists(const QString &path)
{
    return QFileInfo::exists(path);
}

bool canOpenForReading(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && !QFileInfo(path).isDir();
}

bool isLink(const QString &path)
{
    return QFileInfo(path).isSymLink();
}

bool changeCurrentDir(const QString &dir)
{
    // AppDir of a root directory is "" or "C:"; the directory itself is meant.
    QString target = dir;
    if (target.isEmpty() || target.endsWith(QLatin1Char(':')))
        target += QLatin1Char('/');
    return QDir::setCurrent(target);
}

void makeDir(const QString &dir)
{
    if (QDir().mkdir(dir))
        return;
    const int err = errno;
    if (!QFileInfo::exists(parentOf(dir)))
        throw RunError(RunError::PathNotFound, dir);
    int number = numberForErrno(err, RunError::PathFileAccess);
    if (number == RunError::PathNotFound)
        number = RunError::PathFileAccess;
    throw RunError(number, dir);
}

void remove(const QString &path)
{
    QFile file(path);
    if (file.remove())
        return;
    const int err = errno;
    if (!QFileInfo::exists(path))
        throw RunError(RunError::FileNotFound, path);
    throw RunError(numberForErrno(err, RunError::PathFileAccess), path + QStringLiteral(": ") + file.errorString());
}

#ifdef Q_OS_LINUX
namespace {

// Opens the directory and runs the sync on it; errno is left for the caller.
template <typename Sync> bool syncOnDirectory(const QString &dir, Sync sync)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = sync(fd) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

} // namespace

bool syncDirectory(const QString &dir)
{
    return syncOnDirectory(dir, ::fsync);
}

bool syncFileSystem(const QString &dir)
{
    return syncOnDirectory(dir, ::syncfs);
}

#endif

ReplaceBatch::~ReplaceBatch()
{
    for (const Entry &entry : std::as_const(m_entries))
        QFile::remove(entry.temporary);
    for (const QString &spare : std::as_const(m_spares))
        QFile::remove(spare);
}

#ifdef Q_OS_LINUX
namespace {

// Opens a spare for rewriting, or answers -1 when none is left. A spare is
// reused only while its name is its one link, so no other file sees the
// rewrite; one that is not is deleted.
int takeSpare(QStringList &spares, QString *name, off_t *size)
{
    while (!spares.isEmpty()) {
        const QString spare = spares.takeLast();
        const QByteArray encoded = QFile::encodeName(spare);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat status;
        if (fd >= 0 && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1) {
            *name = spare;
            *size = status.st_size;
            return fd;
        }
        if (fd >= 0)
            ::close(fd);
        ::unlink(encoded.constData());
    }
    return -1;
}

// A new temporary beside the target, with the bytes in it.
QString writeNew(const QString &path, const QByteArray &bytes)
{
    QFile file;
    for (int attempt = 0;; ++attempt) {
        file.setFileName(temporaryName(path));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        const int err = errno;
        if (err != EEXIST || attempt == 100)
            throwOpenFailure(file, path, err);
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        try {
            throwWriteFailure(file);
        } catch (const RunError &) {
            file.close();
            file.remove();
            throw;
        }
    }
    file.close();
    return file.fileName();
}

} // namespace

bool ReplaceBatch::rewriteSpare(const QByteArray &bytes, QString *name)
{
    QString spare;
    off_t size = 0;
    const int fd = takeSpare(m_spares, &spare, &size);
    if (fd < 0)
        return false;
    const bool ok = ::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0) == bytes.size()
        && (size <= bytes.size() || ::ftruncate(fd, bytes.size()) == 0);
    ::close(fd);
    if (!ok) {
        // A new file reports the failure, if there is one to report.
        ::unlink(QFile::encodeName(spare).constData());
        return false;
    }
    *name = spare;
    return true;
}

void ReplaceBatch::add(const QString &path, const QByteArray &bytes)
{
    m_failed = path;
    // As QSaveFile does: a directory in the way fails now, not at commit.
    if (QFileInfo(path).isDir())
        throw RunError(RunError::PathFileAccess, path + QStringLiteral(": is a directory"));
    QString temporary;
    if (!rewriteSpare(bytes, &temporary))
        temporary = writeNew(path, bytes);

    m_failed.clear();
    const auto known = m_entryOf.constFind(path);
    if (known != m_entryOf.constEnd()) {
        Entry &entry = m_entries[*known];
        m_spares.append(entry.temporary);
        entry.temporary = temporary;
        return;
    }
    m_entryOf.insert(path, m_entries.size());
    m_entries.append({path, temporary});
}

void ReplaceBatch::commit()
{
    QStringList dirs;
    for (const Entry &entry : std::as_const(m_entries)) {
        const QString dir = parentOf(entry.target);
        if (!dirs.contains(dir))
            dirs.append(dir);
    }
    // The contents first, so that no rename can come before its data: one
    // sync of the file system writes them all, merged, where a sync per file
    // would wait for the disk once per file.
    for (const QString &dir : std::as_const(dirs)) {
        if (!syncFileSystem(dir)) {
            m_failed = dir;
            throwErrnoFailure(dir, errno);
        }
    }
    for (qsizetype done = 0; done < m_entries.size(); ++done) {
        const Entry &entry = m_entries.at(done);
        const QByteArray temporary = QFile::encodeName(entry.temporary);
        const QByteArray target = QFile::encodeName(entry.target);
        // Swapped, the old file stays under the temporary's name for a later
        // add to rewrite: without a journal, ext4 is slow to create files
        // while many have just been deleted.
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
            m_spares.append(entry.temporary);
        } else if (::rename(temporary.constData(), target.constData()) != 0) {
            m_failed = entry.target;
            const int err = errno;
            // The ones not yet in place stay for the destructor to remove.
            m_entries.remove(0, done);
            m_entryOf.clear();
            for (qsizetype i = 0; i < m_entries.size(); ++i)
                m_entryOf.insert(m_entries.at(i).target, i);
            throwErrnoFailure(m_failed, err);
        }
    }
    m_entries.clear();
    m_entryOf.clear();
    for (const QString &dir : std::as_const(dirs)) {
        if (!syncDirectory(dir)) {
            m_failed = dir;
            throwErrnoFailure(dir, errno);
        }
    }
}
#else
// Without a sync of the whole file system, each file syncs its own data.
void ReplaceBatch::add(const QString &path, const QByteArray &bytes)
{
    m_failed = path;
    QSaveFile file(path);
    openReplace(file);
    if (file.write(bytes) != bytes.size() || !file.flush())
        throwWriteFailure(file);
    if (!file.commit())
        throwWriteFailure(file);
    m_failed.clear();
}

void ReplaceBatch::commit()
{
}
#endif

} // namespace Files
