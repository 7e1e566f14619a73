#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;
class QFile;
class QSaveFile;

// File-system access with failures reported as run-time failure numbers:
// 53 file not found, 76 path not found, 70 permission denied, 61 disk full,
// 75 any other path or file access error.
namespace Files {

QByteArray readAll(const QString &path);

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
// Deletes a file; throws when it cannot (53 when it is not there).
void remove(const QString &path);

} // namespace Files
