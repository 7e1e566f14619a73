#include "testenv.h"

#include "platform/clock.h"
#include "platform/messagelog.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"

#include <QDirIterator>
#include <QSettings>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

TestEnv::TestEnv()
{
    // Both reachable (rwxr-xr-x) for the other user a read-only test takes the identity of.
    for (const QTemporaryDir *dir : {&m_dir, &m_settingsDir})
        QFile::setPermissions(dir->path(), QFileDevice::Permissions(0x7055));
    ProgramDir::setReported(m_dir.path());
    setAppDir(m_dir.path());
    SettingsStore::useFile(m_settingsDir.path() + QStringLiteral("/settings.ini"));
    MessageBox::setRecording(true);
    Clock::instance().setTestTime(QDateTime(QDate(2000, 5, 20), QTime(12, 0, 0)));
}

TestEnv::~TestEnv()
{
    // A box the test did not take was not expected: that fails the test.
    if (const QStringList left = MessageBox::takeRecorded(); !left.isEmpty())
        QTest::qFail(qPrintable("message boxes that no test expected: " + left.join(" | ")), __FILE__, __LINE__);
}

void saveBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    file.write(bytes);
}

QByteArray TestEnv::readBytes(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QStringList> TestEnv::textFiles(const QString &subdir) const
{
    const QDir top(path(subdir));
    QMap<QString, QStringList> files;
    for (QDirIterator it(top.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        QStringList &lines = files[top.relativeFilePath(file)] =
            TextRules::decode(readBytes(QDir(dir()).relativeFilePath(file))).split("\r\n");
        if (lines.last().isEmpty())
            lines.removeLast();
    }
    return files;
}

QString TestEnv::setting(const QString &section, const QString &key) const
{
    QSettings settings(m_settingsDir.path() + QStringLiteral("/settings.ini"), QSettings::IniFormat);
    return settings.value(section + QLatin1Char('/') + key).toString();
}

ReadOnlyDir::ReadOnlyDir(const QString &dir)
    : m_dir(dir)
{
#ifdef Q_OS_UNIX
    ::chmod(QFile::encodeName(dir).constData(), 0555);
    if (::geteuid() == 0 && ::seteuid(65534) == 0)
        m_droppedRoot = true;
#else
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
#endif
}

ReadOnlyDir::~ReadOnlyDir()
{
#ifdef Q_OS_UNIX
    if (m_droppedRoot && ::seteuid(0) != 0)
        qFatal("cannot take back the test's own identity");
    ::chmod(QFile::encodeName(m_dir).constData(), 0755);
#else
    QFile::setPermissions(m_dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#endif
}
