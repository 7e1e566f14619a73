#include "platform/settingsstore.h"

#include <QSettings>
#include <memory>

namespace {
QString s_file;

std::unique_ptr<QSettings> open()
{
    if (!s_file.isEmpty())
        return std::make_unique<QSettings>(s_file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("Vellumark"), QStringLiteral("Vellumark"));
}
} // namespace

namespace SettingsStore {

bool save(const QString &section, const QString &key, const QString &value)
{
    return save(section, {{key, value}});
}

bool save(const QString &section, const QList<QPair<QString, QString>> &values)
{
    auto settings = open();
    settings->beginGroup(section);
    for (const auto &[key, value] : values)
        settings->setValue(key, value);
    settings->endGroup();
    settings->sync();
    return settings->status() == QSettings::NoError;
}

QString location()
{
    return open()->fileName();
}

QString get(const QString &section, const QString &key, const QString &defaultValue)
{
    auto settings = open();
    settings->beginGroup(section);
    return settings->value(key, defaultValue).toString();
}

void useFile(const QString &iniPath)
{
    s_file = iniPath;
}

} // namespace SettingsStore
