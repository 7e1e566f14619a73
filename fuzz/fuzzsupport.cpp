#include "fuzzsupport.h"

#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/settingsstore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace Fuzz {

void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, qPrintable(detail));
    std::abort();
}

void check(bool condition, const char *what, const QString &detail)
{
    if (!condition)
        fail(what, detail);
}

void checkKnown(const RunError &error)
{
    switch (error.number()) {
    case RunError::InvalidArgument:
    case RunError::Overflow:
    case RunError::OutOfRange:
    case RunError::FileNotFound:
    case RunError::DiskFull:
    case RunError::PastEnd:
    case RunError::PermissionDenied:
    case RunError::PathFileAccess:
    case RunError::PathNotFound:
        return;
    }
    fail("unknown failure number", QString::number(error.number()) + QLatin1Char(' ') + error.detail());
}

Sandbox &Sandbox::instance()
{
    static Sandbox sandbox;
    return sandbox;
}

Sandbox::Sandbox()
{
    // Memory-backed when there is one: the builder writes many small files.
    QString base = QDir::tempPath();
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        base = QStringLiteral("/dev/shm");
    m_root = base + QStringLiteral("/vellumark-fuzz-") + QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(m_root);
    m_appDir = m_root + QStringLiteral("/app");
    QDir().mkpath(m_appDir);
    ProgramDir::setReported(m_appDir);
    setAppDir(m_appDir);
    SettingsStore::useFile(m_root + QStringLiteral("/settings.ini"));
}

// Runs at exit, while the root's name is still alive (an exit handler
// registered after construction would run after this destructor).
Sandbox::~Sandbox()
{
    QDir(m_root).removeRecursively();
}

void Sandbox::writeFile(const QString &relative, const QByteArray &bytes) const
{
    const QString path = m_appDir + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail("cannot write the input file", path);
}

void Sandbox::clear() const
{
    QDir app(m_appDir);
    app.removeRecursively();
    QDir().mkpath(m_appDir);
}

void Sandbox::checkNothingOutside() const
{
    const QString data = m_appDir + QStringLiteral("/data");
    QDirIterator it(m_root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString dir = QFileInfo(path).path();
        if (path == m_appDir || path == data)
            continue;
        if (dir == m_appDir || dir == data)
            continue;
        if (dir == m_root && QFileInfo(path).fileName().startsWith(QStringLiteral("settings.ini")))
            continue;
        fail("file written outside the program directory", path);
    }
}

QByteArray firstPart(const uint8_t *data, size_t size)
{
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = all.indexOf('\0');
    return QByteArray(all.constData(), nul < 0 ? all.size() : nul);
}

QByteArray secondPart(const uint8_t *data, size_t size)
{
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = all.indexOf('\0');
    return nul < 0 ? QByteArray() : QByteArray(all.constData() + nul + 1, all.size() - nul - 1);
}

} // namespace Fuzz
