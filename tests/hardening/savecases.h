#pragma once

#include <QString>

// The three files the program replaces while it runs, each with an old and a
// new content, saved through the program's own writers and read back through
// its own readers. Shared by the crash test and its writer process.
namespace SaveCases {

// UpdatePage: a daily page's update states, saved as one batch; after a kill
// each file must be old or new on its own.
enum class Kind { Pages, Url, UpdateState, UpdatePage };

// "pages.udf", "url.dat", "iud" or "page"; false for any other name.
bool kindFor(const QString &name, Kind &kind);

// The data number of the update-state file.
constexpr qint16 kSite = 7;

// Saves version 0 (old) or 1 (new). The versions differ in size, so that a
// torn save cannot pass for either.
void save(Kind kind, const QString &appDir, int version);
// What the file holds as the program reads it; throws what reading throws.
QString readBack(Kind kind, const QString &appDir);
// What readBack gives after a whole save of the version.
QString expected(Kind kind, int version);

} // namespace SaveCases
