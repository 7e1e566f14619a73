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

QDate latestRunFirstDay()
{
    return QDate::fromString(SettingsStore::get(QStringLiteral("Download"), QStringLiteral("LatestRunFirstDay")),
                             QStringLiteral("yyyy/MM/dd"));
}

void setLatestRunFirstDay(const QString &dayText)
{
    SettingsStore::save(QStringLiteral("Download"), QStringLiteral("LatestRunFirstDay"), dayText);
}

} // namespace Settings
