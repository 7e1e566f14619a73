#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The per-user settings store: text values under application "Vellumark",
// one group per section. Tests point it at a file of their own.
namespace SettingsStore {

// False when the store could not be written: the value is then not kept.
bool save(const QString &section, const QString &key, const QString &value);
// Where the store keeps its values, for a message that names it.
QString location();
// Several values of one section with a single write of the store; false as above.
bool save(const QString &section, const QList<QPair<QString, QString>> &values);
QString get(const QString &section, const QString &key, const QString &defaultValue = {});

// An INI file to use instead of the user's store; empty restores the user's.
void useFile(const QString &iniPath);

} // namespace SettingsStore
