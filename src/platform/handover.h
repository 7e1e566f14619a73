#pragma once

#include <QString>
#include <QStringList>

// The program is two executables in one directory: the front, which runs the
// command line without any window library, and the windows beside it, to
// which the front hands over when windows are asked for.
namespace Handover {

// The windows' executable beside the given front executable.
QString windowsProgram(const QString &frontProgram);

// Hands the process over to the program with the arguments. On POSIX this
// replaces the process and returns only on failure; elsewhere the program is
// started on its own and true returned, after which the caller exits. On
// failure why says why.
bool start(const QString &program, const QStringList &arguments, QString *why);

} // namespace Handover
