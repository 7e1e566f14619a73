#pragma once

#include <QString>

// The program's values in the settings store, each key named here once.
namespace Settings {

// "Setting": the program directory, version ("1.0") and revision, written at
// every start for whoever looks; nothing reads them back.
bool saveStartup(const QString &appDir, const QString &version, const QString &revision);

// "Date"/"MakeFile": the making date of the data set last built.
bool setMakeFile(const QString &makeFile);

// "Date"/"Update": the next day to download, as date text; empty before the
// first build.
QString updateDate();
bool setUpdateDate(const QString &dayText);

} // namespace Settings
