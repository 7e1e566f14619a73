#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QFileDevice;
class QFile;
class QSaveFile;

// File-system access with failures reported as run-time failure numbers:
// FileNotFound, PathNotFound, PermissionDenied, DiskFull, and PathFileAccess
// for any other path or file access error.
namespace Files {

QByteArray readAll(const QString &path);
// Opens for reading with readAll's failures; readSome answers at most
// maxSize bytes, empty at the end.
void openRead(QFile &file);
QByteArray readSome(QFile &file, qint64 maxSize);

// Opens for writing (emptying), appending, or for an all-or-nothing replace.
void openWrite(QFile &file);
void openAppend(QFile &file);
// With overwrite, a directory that refuses the new file lets the existing
// file be rewritten in place instead (no longer all-or-nothing).
void openReplace(QSaveFile &file, bool overwrite = false);

// Throws the failure of a write or close that went wrong on an open file.
[[noreturn]] void throwWriteFailure(const QFileDevice &file);

bool exists(const QString &path);
// Whether a file opens for reading; it is closed at once, nothing is read.
bool canOpenForReading(const QString &path);
// Whether the path is a symbolic link (a link to nothing included).
bool isLink(const QString &path);
// Makes dir the process's current directory; false when it cannot.
bool changeCurrentDir(const QString &dir);
// Creates one directory; throws when it cannot.
void makeDir(const QString &dir);
// Deletes a file; throws when it cannot (FileNotFound when it is not there).
void remove(const QString &path);

#ifdef Q_OS_LINUX
// Syncs a directory's entries; the errno of a failure is left for the caller.
bool syncDirectory(const QString &dir);
// Writes out everything of the file system that holds the directory, the
// same way.
bool syncFileSystem(const QString &dir);
#endif

// Replaces a group of files, each all or nothing against a kill: every new
// content goes to a temporary file beside its target (the target's name, a
// dot and six characters, as QSaveFile names them); commit() makes their data
// durable with one sync of the file system, renames them over their targets
// and makes the renames durable with one sync of each directory: two syncs a
// batch, whatever its size. Elsewhere each file is replaced with its own sync
// as it is added. Temporaries not committed are removed. On Linux a batch may
// be committed again and again: the files it replaced keep the temporaries'
// names and are rewritten as the next temporaries, so a long run neither
// creates nor deletes a file per replace; they go with the batch.
class ReplaceBatch
{
public:
    ReplaceBatch() = default;
    ~ReplaceBatch();
    ReplaceBatch(const ReplaceBatch &) = delete;
    ReplaceBatch &operator=(const ReplaceBatch &) = delete;

    // A later content for the same target replaces the earlier one.
    void add(const QString &path, const QByteArray &bytes);
    void commit();
    // The target (or directory) whose add or commit failed.
    const QString &failedPath() const { return m_failed; }

private:
    struct Entry
    {
        QString target;
        QString temporary;
    };
#ifdef Q_OS_LINUX
    bool rewriteSpare(const QByteArray &bytes, QString *name);
#endif
    QList<Entry> m_entries;
    // Where each target is in m_entries: a page adds hundreds of them.
    QHash<QString, qsizetype> m_entryOf;
    QStringList m_spares;
    QString m_failed;
};

} // namespace Files
