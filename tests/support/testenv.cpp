#include "testenv.h"

#include "platform/clock.h"
#include "platform/messagelog.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"
#include "store/textrules.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

QByteArray sjis(const QString &text)
{
    return TextRules::encode(text);
}

QByteArray textLines(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return sjis(text);
}

TestEnv::TestEnv()
{
    // Both reachable for the other user a read-only test takes the identity of.
    for (const QTemporaryDir *dir : {&m_dir, &m_settingsDir})
        QFile::setPermissions(dir->path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                  | QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup
                                  | QFileDevice::ExeGroup);
    ProgramDir::setReported(m_dir.path());
    setAppDir(m_dir.path());
    SettingsStore::useFile(m_settingsDir.path() + QStringLiteral("/settings.ini"));
    MessageBox::setRecording(true);
    Clock::instance().setTestTime(QDateTime(QDate(2000, 5, 20), QTime(12, 0, 0)));
}

TestEnv::~TestEnv()
{
    const QStringList left = MessageBox::takeRecorded();
    // A box the test did not take was not expected: that fails the test.
    if (!left.isEmpty())
        QTest::qFail(
            qPrintable(QStringLiteral("message boxes that no test expected: ") + left.join(QStringLiteral(" | "))),
            __FILE__, __LINE__);
}

void TestEnv::writeText(const QString &name, const QString &text) const
{
    writeBytes(name, sjis(text));
}

void TestEnv::writeBytes(const QString &name, const QByteArray &bytes) const
{
    QFile file(path(name));
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    file.write(bytes);
}

QByteArray TestEnv::readBytes(const QString &name) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString TestEnv::readText(const QString &name) const
{
    return TextRules::decode(readBytes(name));
}

QMap<QString, QStringList> TestEnv::textFiles(const QString &subdir) const
{
    const QString top = subdir.isEmpty() ? dir() : path(subdir);
    QMap<QString, QStringList> files;
    for (QDirIterator it(top, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString name = QDir(top).relativeFilePath(it.next());
        QStringList lines =
            readText(subdir.isEmpty() ? name : subdir + QLatin1Char('/') + name).split(QStringLiteral("\r\n"));
        if (lines.last().isEmpty())
            lines.removeLast();
        files[name] = lines;
    }
    return files;
}

bool TestEnv::exists(const QString &name) const
{
    return QFile::exists(path(name));
}

void TestEnv::makeDir(const QString &name) const
{
    QDir(m_dir.path()).mkpath(name);
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
