#include "platform/settings.h"

#include "platform/datetext.h"
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

QDate updateDate()
{
    return DateText::read(SettingsStore::get(kDate, kUpdate));
}

bool setUpdateDate(const QDate &day)
{
    return setUpdateDateText(DateText::format(day));
}

bool setUpdateDateText(const QString &text)
{
    return SettingsStore::save(kDate, kUpdate, text);
}

} // namespace Settings
