#include "platform/runlock.h"

#include "platform/runerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <iterator>

namespace {

// QLockFile's own file holds the process, not the kind of run; this one
// beside it says which run took the lock and when.
QString holderPath(const QString &appDir)
{
    return appDir + QStringLiteral("/vellumark.lock.holder");
}

const char *const kHolderKeys[] = {"unknown", "build", "window-download", "command-download", "save"};

QByteArray holderKey(RunLock::Holder holder)
{
    return kHolderKeys[int(holder)];
}

RunLock::Holder holderOfKey(const QByteArray &key)
{
    for (int i = 0; i < int(std::size(kHolderKeys)); ++i) {
        if (key == kHolderKeys[i])
            return RunLock::Holder(i);
    }
    return RunLock::Holder::Unknown;
}

} // namespace

RunLock::RunLock(const QString &appDir)
    : m_appDir(appDir),
      m_file(path(appDir))
{
    // The process check alone decides: a live holder is never timed out,
    // since a year of pages may take longer than any fixed time.
    m_file.setStaleLockTime(0);
}

RunLock::~RunLock()
{
    unlock();
}

QString RunLock::path(const QString &appDir)
{
    return appDir + QStringLiteral("/vellumark.lock");
}

bool RunLock::tryLock(Holder holder, int waitMs)
{
    m_busy = false;
    m_otherHolder = Holder::Unknown;
    m_otherSince = QDateTime();
    if (m_locked)
        return true;
    if (!m_file.tryLock(waitMs)) {
        m_busy = m_file.error() == QLockFile::LockFailedError;
        if (m_busy)
            readOther();
        return false;
    }
    m_locked = true;
    QFile info(holderPath(m_appDir));
    if (info.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        info.write(holderKey(holder) + '\n' + QByteArray::number(QCoreApplication::applicationPid()) + '\n'
                   + QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1() + '\n');
    }
    return true;
}

void RunLock::unlock()
{
    if (!m_locked)
        return;
    QFile::remove(holderPath(m_appDir));
    m_file.unlock();
    m_locked = false;
}

void RunLock::readOther()
{
    qint64 pid = 0;
    QString host;
    QString app;
    m_file.getLockInfo(&pid, &host, &app);
    m_otherSince = QFileInfo(path(m_appDir)).lastModified();

    QFile info(holderPath(m_appDir));
    if (!info.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = info.read(256).split('\n');
    // A note left by a run that was killed names another process.
    if (lines.size() < 3 || lines.at(1).toLongLong() != pid || pid == 0)
        return;
    m_otherHolder = holderOfKey(lines.at(0));
    const QDateTime since = QDateTime::fromString(QString::fromLatin1(lines.at(2)), Qt::ISODate);
    if (since.isValid())
        m_otherSince = since.toLocalTime();
}

QString RunLock::holderName(Holder holder)
{
    switch (holder) {
    case Holder::Build:
        return QStringLiteral("ファイルの構築");
    case Holder::WindowDownload:
        return QStringLiteral("更新状況のダウンロード");
    case Holder::CommandDownload:
        return QStringLiteral("コマンドラインからのダウンロード");
    case Holder::Save:
        return QStringLiteral("保存");
    case Holder::Unknown:
        break;
    }
    return QStringLiteral("ほかの処理");
}

QString RunLock::save(const QString &appDir, const std::function<void()> &write)
{
    RunLock lock(appDir);
    try {
        if (!lock.tryLock(Holder::Save, kSaveWait))
            return lock.busyText();
        write();
    } catch (const RunError &error) {
        return error.reason();
    }
    return QString();
}

QString RunLock::busyText() const
{
    if (!m_busy)
        return QDir::toNativeSeparators(path(m_appDir)) + QStringLiteral(" を作れません。");
    QStringList about;
    if (m_otherHolder != Holder::Unknown)
        about.append(holderName(m_otherHolder));
    if (m_otherSince.isValid())
        about.append(m_otherSince.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + QStringLiteral(" から"));
    const QString detail = about.isEmpty()
        ? QString()
        : QStringLiteral("（") + about.join(QStringLiteral("、")) + QStringLiteral("）");
    return QStringLiteral("ほかの処理") + detail
        + QStringLiteral("がこのフォルダーを使用中です。終わってからもう一度お試しください。");
}
