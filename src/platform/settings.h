#pragma once

#include <QDate>
#include <QString>

// The program's values in the settings store, each key named here once.
namespace Settings {

// "Setting": the program directory, version ("1.0") and revision, written at
// every start for whoever looks; nothing reads them back.
bool saveStartup(const QString &appDir, const QString &version, const QString &revision);

// "Date"/"MakeFile": the making date of the data set last built.
bool setMakeFile(const QString &makeFile);

// "Date"/"Update": the next day to download; invalid before the first build
// and when what is stored is no date.
QDate updateDate();
bool setUpdateDate(const QDate &day);
// The builder stores update.idf's first field as it stands, date or not.
bool setUpdateDateText(const QString &text);

} // namespace Settings
