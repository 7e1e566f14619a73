#include "platform/schedule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The daily schedule in a temporary home, with a stand-in systemctl on the
// path that records its arguments and answers as a user manager would, or
// fails as where none runs.
class TestSchedule : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void switching_data();
    void switching();
    void units_data();
    void units();

private:
    QString calls() const;
    void writeManager(bool running);

    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_path;
};

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

void TestSchedule::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    m_path = qgetenv("PATH");
    QDir(m_home->path()).mkpath("bin");
    qputenv("HOME", m_home->filePath("home").toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    qputenv("PATH", m_home->filePath("bin").toUtf8() + ':' + m_path);
    writeManager(true);
}

void TestSchedule::cleanup()
{
    qputenv("PATH", m_path);
}

void TestSchedule::writeManager(bool running)
{
    QFile script(m_home->filePath("bin/systemctl"));
    QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write("#!/bin/sh\necho \"$*\" >> \"" + m_home->filePath("calls").toUtf8() + "\"\n");
    if (!running)
        script.write("echo 'Failed to connect to bus' >&2\nexit 1\n");
    script.write("[ \"$2\" = show ] && echo 'Wed 2000-05-21 00:31:07 JST'\nexit 0\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString TestSchedule::calls() const
{
    QString text = readText(m_home->filePath("calls")).trimmed();
    QFile::remove(m_home->filePath("calls"));
    return text.replace('\n', '|');
}

void TestSchedule::switching_data()
{
    QTest::addColumn<QString>("steps"); // "on A", "off B", "status A" in order, split by ";"
    QTest::addColumn<bool>("running"); // the user manager; else systemctl fails
    QTest::addColumn<bool>("xdg"); // XDG_CONFIG_HOME and XDG_DATA_HOME set, under the home
    QTest::addColumn<QString>("outcome"); // per step: message or status, and systemctl's calls

    // "X" stands for the units of directory A, "Y" of B.
    // clang-format off
    QTest::newRow("two directories") << "status A;on A;on B;status A;off A;status A;status B" << true << false
        << "off  [];毎日の自動確認を入れました。 [daemon-reload|start X.timer];毎日の自動確認を入れました。 [daemon-reload|start Y.timer];"
           "on Wed 2000-05-21 00:31:07 JST [show X.timer --property=NextElapseUSecRealtime --value];毎日の自動確認を切りました。 [stop X.timer|daemon-reload];"
           "off  [];on Wed 2000-05-21 00:31:07 JST [show Y.timer --property=NextElapseUSecRealtime --value]";
    QTest::newRow("no manager, xdg") << "on A;status A;off A" << false << true
        << "毎日の自動確認を入れました。次のログインから動きます。 [daemon-reload];on  [show X.timer --property=NextElapseUSecRealtime --value];毎日の自動確認を切りました。 [stop X.timer|daemon-reload]";
    // clang-format on
}

void TestSchedule::switching()
{
    QFETCH(QString, steps);
    QFETCH(bool, running);
    QFETCH(bool, xdg);
    QFETCH(QString, outcome);

    const QString home = m_home->filePath("home");
    const QString config = xdg ? m_home->filePath("xdg/config") : home + "/.config";
    const QString data = xdg ? m_home->filePath("xdg/data") : home + "/.local/share";
    if (xdg) {
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        qputenv("XDG_DATA_HOME", data.toUtf8());
    }
    writeManager(running);

    const QHash<QString, QString> dirs{{"A", m_home->filePath("demo")}, {"B", m_home->filePath("install")}};
    QStringList results;
    QString text;
    for (const QString &step : steps.split(';')) {
        const QString verb = step.section(' ', 0, 0);
        const QString dir = dirs.value(step.section(' ', 1, 1));
        const QString name = Schedule::unitName(dir);
        const QString units = config + "/systemd/user/" + name;
        const QString wants = config + "/systemd/user/timers.target.wants/" + name + ".timer";
        const QString stamp = data + "/systemd/timers/stamp-" + name + ".timer";
        if (verb == "on") {
            text = Schedule::switchOn(dir, "/opt/vellumark/vellumark").message;
            // Written before the manager is asked: the next login takes them in.
            QVERIFY(QFileInfo::exists(units + ".service"));
            QCOMPARE(QFileInfo(wants).symLinkTarget(), units + ".timer");
        } else if (verb == "off") {
            QDir().mkpath(data + "/systemd/timers");
            QVERIFY(QFile(stamp).open(QIODevice::WriteOnly));
            text = Schedule::switchOff(dir).message;
            for (const QString &gone : {units + ".service", units + ".timer", wants, stamp})
                QVERIFY2(!QFileInfo::exists(gone) && !QFileInfo(gone).isSymLink(), qPrintable(gone));
        } else {
            const Schedule::Status status = Schedule::status(dir);
            text = QString(status.on ? "on " : "off ") + status.nextRun;
        }
        results << text + " [" + calls() + "]";
    }
    QString expected = outcome;
    expected.replace("X.", Schedule::unitName(dirs["A"]) + ".");
    expected.replace("Y.", Schedule::unitName(dirs["B"]) + ".");
    expected.replace("[", "[--user ").replace("|", "|--user ").replace("[--user ]", "[]");
    QCOMPARE(results.join(';'), expected);
}

void TestSchedule::units_data()
{
    QTest::addColumn<QString>("program"); // under the temporary directory
    QTest::addColumn<QString>("execStart"); // empty: refused

    // clang-format off
    QTest::newRow("blank, specifier") << "my 100%/vellumark" << "\"@/my 100%%/vellumark\" --download";
    QTest::newRow("quote")            << "a\"b/vellumark"    << "";
    QTest::newRow("line end")         << "a\nb/vellumark"     << "";
    // clang-format on
}

// The units as systemd reads them: verified and the timer's calendar checked
// where systemd is installed.
void TestSchedule::units()
{
    QFETCH(QString, program);
    QFETCH(QString, execStart);

    const QString path = m_home->filePath(program);
    QDir().mkpath(QFileInfo(path).path());
    QFile::copy(QStandardPaths::findExecutable("true"), path);
    const QString units = m_home->filePath("home/.config/systemd/user/") + Schedule::unitName(m_home->filePath("demo"));
    // systemd would refuse to run such a name: nothing is written.
    QCOMPARE(Schedule::switchOn(m_home->filePath("demo"), path).ok, !execStart.isEmpty());
    const QString service = readText(units + ".service");
    QCOMPARE(service.section("\nExecStart=", 1).section('\n', 0, 0), execStart.replace("@", m_home->path()));
    if (execStart.isEmpty())
        return;
    const QString timer = readText(units + ".timer");
    for (const char *line :
         {"\nOnCalendar=daily\n", "\nPersistent=true\n", "\nRandomizedDelaySec=", "\nWantedBy=timers.target\n"})
        QVERIFY2(timer.contains(line), line);

    const QString systemdAnalyze = QStandardPaths::findExecutable("systemd-analyze");
    if (systemdAnalyze.isEmpty())
        QSKIP("systemd-analyze is not installed (scripts/deps.sh test installs it)");
    // systemd-analyze wants a runtime directory of the user's.
    QDir().mkpath(m_home->filePath("run"));
    QFile::setPermissions(m_home->filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess verify;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", m_home->filePath("run"));
    environment.insert("PATH", m_path);
    verify.setProcessEnvironment(environment);
    verify.start(systemdAnalyze, {"verify", "--user", units + ".service", units + ".timer"});
    QVERIFY(verify.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(verify.readAllStandardError()), QString());
    QCOMPARE(verify.exitCode(), 0);
    verify.start(systemdAnalyze, {"calendar", timer.section("\nOnCalendar=", 1).section('\n', 0, 0)});
    QVERIFY(verify.waitForFinished(60000));
    QCOMPARE(verify.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
