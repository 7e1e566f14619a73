#pragma once

#include <QString>

// The files the program replaces while it runs, each with an old and a new content, saved through the
// program's own writers and read back through its own readers. Shared by the crash test and its writer
// process. "pages.udf" is the list, "url.dat" the settings, "page" a daily page's update states saved as one
// batch (after a kill each file old or new on its own).
namespace SaveCases {

bool known(const QString &name);
// Saves version 0 (old) or 1 (new). The versions differ in size, so that a torn save cannot pass for either.
void save(const QString &name, const QString &appDir, int version);
// What the program reads back; throws what reading throws. For "page" the files neither old nor new.
QString readBack(const QString &name, const QString &appDir);
// What readBack gives after a whole save of the version.
QString expected(const QString &name, int version);

} // namespace SaveCases
