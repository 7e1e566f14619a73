#include "latestrun.h"

#include "platform/settingsstore.h"

namespace LatestRun {

QDate firstDay()
{
    return QDate::fromString(SettingsStore::get(QStringLiteral("Download"), QStringLiteral("LatestRunFirstDay")),
                             QStringLiteral("yyyy/MM/dd"));
}

void setFirstDay(const QString &dayText)
{
    SettingsStore::save(QStringLiteral("Download"), QStringLiteral("LatestRunFirstDay"), dayText);
}

} // namespace LatestRun
