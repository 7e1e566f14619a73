#include "platform/schedule.h"

#include "platform/files.h"
#include "platform/runerror.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

// The schedule as a systemd user service and timer in the user's unit folder.
// The timer is daily and persistent, so a day the machine was off is caught
// up at the next start; the files and the link that enabling makes are
// written here, so the schedule takes effect at the next login even where no
// user manager runs now.
namespace Schedule {

namespace {

QString homeBased(const char *variable, const QString &underHome)
{
    const QString set = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(set))
        return QDir::cleanPath(set);
    return QDir::cleanPath(qEnvironmentVariable("HOME") + QLatin1Char('/') + underHome);
}

struct Paths
{
    explicit Paths(const QString &appDir)
        : name(unitName(appDir))
    {
        const QString units = homeBased("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/systemd/user");
        unitDir = units;
        service = units + QLatin1Char('/') + name + QStringLiteral(".service");
        timer = units + QLatin1Char('/') + name + QStringLiteral(".timer");
        wants = units + QStringLiteral("/timers.target.wants/") + name + QStringLiteral(".timer");
        stamp = homeBased("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/systemd/timers/stamp-")
            + name + QStringLiteral(".timer");
    }

    QString name;
    QString unitDir;
    QString service;
    QString timer;
    QString wants;
    QString stamp;
};

// A unit file's value: "%" would name a specifier.
QString unitText(QString text)
{
    return text.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

// The executable of ExecStart, quoted. systemd refuses one whose name holds
// a quote, a backslash or a control character; "$" is taken as it is.
QString execProgram(const QString &program)
{
    return QLatin1Char('"') + unitText(program) + QLatin1Char('"');
}

bool canName(const QString &text, bool asProgram)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return false;
        if (asProgram && (c == QLatin1Char('"') || c == QLatin1Char('\\') || c == QLatin1Char('\'')))
            return false;
    }
    return true;
}

void writeFile(const QString &path, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    QSaveFile file(path);
    Files::openReplace(file);
    if (file.write(bytes) != bytes.size() || !file.commit())
        Files::throwWriteFailure(file);
}

void removeIfThere(const QString &path)
{
    if (QFileInfo::exists(path) || Files::isLink(path))
        Files::remove(path);
}

struct Reply
{
    bool ok = false;
    QByteArray out;
};

// "systemctl --user ..."; not ok where there is no systemctl or no user
// manager answers it.
Reply systemctl(const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (program.isEmpty())
        return {};
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, QStringList{QStringLiteral("--user")} + arguments);
    if (!process.waitForFinished(30 * 1000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, process.readAllStandardOutput()};
}

} // namespace

QString unitName(const QString &appDir)
{
    const QByteArray hash = QCryptographicHash::hash(QDir(appDir).absolutePath().toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("vellumark-") + QString::fromLatin1(hash.toHex().left(12));
}

Result switchOn(const QString &appDir, const QString &program)
{
    const Paths paths(appDir);
    const QString directory = QDir::toNativeSeparators(QDir(appDir).absolutePath());
    if (!QDir::isAbsolutePath(program) || !canName(program, true) || !canName(directory, false))
        return {false, QStringLiteral("このプログラムの場所は、毎日の自動確認に登録できません。")};
    const QString description = QStringLiteral("Description=Vellumark daily update check (") + unitText(directory)
        + QStringLiteral(")\n");
    try {
        QDir().mkpath(paths.unitDir + QStringLiteral("/timers.target.wants"));
        writeFile(paths.service,
                  QStringLiteral("[Unit]\n") + description
                      + QStringLiteral("\n[Service]\nType=oneshot\n")
                      // Retries and the wait for a click on the notification fit well within this.
                      + QStringLiteral("TimeoutStartSec=1h\nExecStart=") + execProgram(program)
                      + QStringLiteral(" --download\n"));
        writeFile(paths.timer,
                  QStringLiteral("[Unit]\n") + description
                      + QStringLiteral("\n[Timer]\nOnCalendar=daily\nPersistent=true\n"
                                       "RandomizedDelaySec=1h\n\n[Install]\nWantedBy=timers.target\n"));
        removeIfThere(paths.wants);
        if (!QFile::link(paths.timer, paths.wants))
            throw RunError(RunError::PathFileAccess, paths.wants);
    } catch (const RunError &error) {
        return {false,
                QStringLiteral("毎日の自動確認を登録できませんでした。") + error.reason() + QStringLiteral("\n")
                    + QDir::toNativeSeparators(error.detail())};
    }
    const QString timer = paths.name + QStringLiteral(".timer");
    if (systemctl({QStringLiteral("daemon-reload")}).ok && systemctl({QStringLiteral("start"), timer}).ok)
        return {true, QStringLiteral("毎日の自動確認を入れました。")};
    return {true, QStringLiteral("毎日の自動確認を入れました。次のログインから動きます。")};
}

Result switchOff(const QString &appDir)
{
    const Paths paths(appDir);
    systemctl({QStringLiteral("stop"), paths.name + QStringLiteral(".timer")});
    try {
        removeIfThere(paths.wants);
        removeIfThere(paths.timer);
        removeIfThere(paths.service);
        removeIfThere(paths.stamp);
    } catch (const RunError &error) {
        return {false,
                QStringLiteral("毎日の自動確認を外せませんでした。") + error.reason() + QStringLiteral("\n")
                    + QDir::toNativeSeparators(error.detail())};
    }
    systemctl({QStringLiteral("daemon-reload")});
    return {true, QStringLiteral("毎日の自動確認を切りました。")};
}

Status status(const QString &appDir)
{
    const Paths paths(appDir);
    Status status;
    status.available = true;
    status.on = QFileInfo::exists(paths.timer) && QFileInfo::exists(paths.wants);
    if (status.on) {
        const Reply next = systemctl({QStringLiteral("show"), paths.name + QStringLiteral(".timer"),
                                      QStringLiteral("--property=NextElapseUSecRealtime"), QStringLiteral("--value")});
        const QString when = QString::fromUtf8(next.out).trimmed();
        if (next.ok && !when.isEmpty() && when != QLatin1String("n/a"))
            status.nextRun = when;
    }
    return status;
}

} // namespace Schedule
