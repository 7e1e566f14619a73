#pragma once

#include <QString>

// The program keeps all its files beside itself. AppDir() is that directory
// with "/" separators and never a trailing one, so paths are AppDir() + "/name".
namespace ProgramDir {

// The directory that holds the program, as the platform reports it (or as a
// test has set it).
QString reported();
void setReported(const QString &dir);

// Drops a trailing separator: "C:/" gives "C:", "/" gives "".
QString derive(const QString &reported);

} // namespace ProgramDir

const QString &AppDir();
void setAppDir(const QString &dir);
