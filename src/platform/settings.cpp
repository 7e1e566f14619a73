#include "platform/settings.h"

#include "platform/settingsstore.h"

namespace Settings {

namespace {

const QString kDate = QStringLiteral("Date");
const QString kUpdate = QStringLiteral("Update");

} // namespace

bool saveStartup(const QString &appDir, const QString &version, const QString &revision)
{
    return SettingsStore::save(QStringLiteral("Setting"),
                               {{QStringLiteral("Directory"), appDir},
                                {QStringLiteral("Version"), version},
                                {QStringLiteral("Revision"), revision}});
}

bool setMakeFile(const QString &makeFile)
{
    return SettingsStore::save(kDate, QStringLiteral("MakeFile"), makeFile);
}

QString updateDate()
{
    return SettingsStore::get(kDate, kUpdate);
}

bool setUpdateDate(const QString &dayText)
{
    return SettingsStore::save(kDate, kUpdate, dayText);
}

} // namespace Settings
