#include "platform/schedule.h"

#include <QCryptographicHash>
#include <QDir>

namespace Schedule {

namespace {

Result unavailable()
{
    return {false, QStringLiteral("毎日の自動確認は、この環境ではまだ使えません。")};
}

} // namespace

Result switchOn(const QString &, const QString &)
{
    return unavailable();
}

Result switchOff(const QString &)
{
    return unavailable();
}

Status status(const QString &)
{
    return {};
}

QString unitName(const QString &appDir)
{
    const QByteArray hash = QCryptographicHash::hash(QDir(appDir).absolutePath().toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("vellumark-") + QString::fromLatin1(hash.toHex().left(12));
}

} // namespace Schedule
