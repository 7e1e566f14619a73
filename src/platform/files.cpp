#include "files.h"

#include "runerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

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

} // namespace

namespace Files {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const int err = errno;
        if (!QFileInfo::exists(path)) {
            throw RunError(QFileInfo::exists(parentOf(path)) ? RunError::FileNotFound : RunError::PathNotFound,
                           path);
        }
        throwOpenFailure(file, path, err);
    }
    if (QFileInfo(path).isDir())
        throw RunError(RunError::PathFileAccess, path);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RunError(RunError::PathFileAccess, path + QStringLiteral(": ") + file.errorString());
    return bytes;
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

} // namespace Files
