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
    QString m_systemdAnalyze;
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
    m_systemdAnalyze = QStandardPaths::findExecutable("systemd-analyze");
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
    QTest::addColumn<QString>("manager"); // "runs", "down" (fails) or "none" (no systemctl)
    QTest::addColumn<QString>("xdg"); // XDG_CONFIG_HOME and XDG_DATA_HOME, under the home; empty: unset
    QTest::addColumn<QString>("outcome"); // per step: message or status, and systemctl's calls

    // "X" stands for the units of directory A, "Y" of B.
    // clang-format off
    QTest::newRow("on")                 << "on A;status A"        << "runs" << ""
        << "毎日の自動確認を入れました。 [daemon-reload|start X.timer];on Wed 2000-05-21 00:31:07 JST [show X.timer --property=NextElapseUSecRealtime --value]";
    QTest::newRow("on, no manager")     << "on A;status A"        << "down" << ""
        << "毎日の自動確認を入れました。次のログインから動きます。 [daemon-reload];on  [show X.timer --property=NextElapseUSecRealtime --value]";
    QTest::newRow("on, no systemctl")   << "on A;status A"        << "none" << ""
        << "毎日の自動確認を入れました。次のログインから動きます。 [];on  []";
    QTest::newRow("off")                << "on A;off A;status A"  << "runs" << ""
        << "毎日の自動確認を入れました。 [daemon-reload|start X.timer];毎日の自動確認を切りました。 [stop X.timer|daemon-reload];off  []";
    QTest::newRow("off, no manager")    << "on A;off A;status A"  << "down" << ""
        << "毎日の自動確認を入れました。次のログインから動きます。 [daemon-reload];毎日の自動確認を切りました。 [stop X.timer|daemon-reload];off  []";
    QTest::newRow("never on")           << "status A;off A"       << "runs" << ""
        << "off  [];毎日の自動確認を切りました。 [stop X.timer|daemon-reload]";
    QTest::newRow("two directories")    << "on A;on B;off A;status B;status A" << "runs" << ""
        << "毎日の自動確認を入れました。 [daemon-reload|start X.timer];毎日の自動確認を入れました。 [daemon-reload|start Y.timer];"
           "毎日の自動確認を切りました。 [stop X.timer|daemon-reload];on Wed 2000-05-21 00:31:07 JST [show Y.timer --property=NextElapseUSecRealtime --value];off  []";
    QTest::newRow("xdg folders")        << "on A;status A;off A"  << "down" << "xdg"
        << "毎日の自動確認を入れました。次のログインから動きます。 [daemon-reload];on  [show X.timer --property=NextElapseUSecRealtime --value];毎日の自動確認を切りました。 [stop X.timer|daemon-reload]";
    // clang-format on
}

void TestSchedule::switching()
{
    QFETCH(QString, steps);
    QFETCH(QString, manager);
    QFETCH(QString, xdg);
    QFETCH(QString, outcome);

    const QString home = m_home->filePath("home");
    const QString config = xdg.isEmpty() ? home + "/.config" : m_home->filePath("xdg/config");
    const QString data = xdg.isEmpty() ? home + "/.local/share" : m_home->filePath("xdg/data");
    if (!xdg.isEmpty()) {
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        qputenv("XDG_DATA_HOME", data.toUtf8());
    }
    if (manager == "none")
        QFile::remove(m_home->filePath("bin/systemctl"));
    else
        writeManager(manager == "runs");
    // The real systemctl must not answer in the stand-in's place.
    if (manager == "none")
        qputenv("PATH", m_home->filePath("bin").toUtf8());

    const QHash<QString, QString> dirs{{"A", m_home->filePath("demo")}, {"B", m_home->filePath("install")}};
    QStringList results;
    QString text;
    for (const QString &step : steps.split(';')) {
        const QString verb = step.section(' ', 0, 0);
        const QString dir = dirs.value(step.section(' ', 1, 1));
        const QString name = Schedule::unitName(dir);
        const QString units = config + "/systemd/user/" + name;
        if (verb == "on") {
            text = Schedule::switchOn(dir, "/opt/vellumark/vellumark").message;
            // Written before the manager is asked: the next login takes them in.
            QVERIFY(QFileInfo::exists(units + ".service"));
            QCOMPARE(QFileInfo(config + "/systemd/user/timers.target.wants/" + name + ".timer").symLinkTarget(),
                     units + ".timer");
        } else if (verb == "off") {
            QDir().mkpath(data + "/systemd/timers");
            QFile stamp(data + "/systemd/timers/stamp-" + name + ".timer");
            QVERIFY(stamp.open(QIODevice::WriteOnly));
            stamp.close();
            text = Schedule::switchOff(dir).message;
            QVERIFY(!QFileInfo::exists(units + ".service"));
            QVERIFY(!QFileInfo::exists(units + ".timer"));
            QVERIFY(!QFileInfo::exists(stamp.fileName()));
            QVERIFY(!QFileInfo(config + "/systemd/user/timers.target.wants/" + name + ".timer").isSymLink());
        } else {
            const Schedule::Status status = Schedule::status(dir);
            QVERIFY(status.available);
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
    QTest::addColumn<QString>("execStart");

    // clang-format off
    QTest::newRow("plain")        << "bin/vellumark"          << "\"@/bin/vellumark\" --download";
    QTest::newRow("blank")        << "my apps/vellumark"      << "\"@/my apps/vellumark\" --download";
    QTest::newRow("specifier")    << "100%/vellumark"         << "\"@/100%%/vellumark\" --download";
    QTest::newRow("dollar")       << "a$HOME/vellumark"       << "\"@/a$HOME/vellumark\" --download";
    QTest::newRow("quote")        << "a\"b/vellumark"         << "";
    QTest::newRow("backslash")    << "a\\b/vellumark"         << "";
    QTest::newRow("line end")     << "a\nb/vellumark"          << "";
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
    QCOMPARE(QFileInfo::exists(units + ".service"), !execStart.isEmpty());
    if (execStart.isEmpty())
        return;
    const QString service = readText(units + ".service");
    QVERIFY2(service.contains("\nExecStart=" + QString(execStart).replace("@", m_home->path()) + "\n"),
             qPrintable(service));
    const QString timer = readText(units + ".timer");
    for (const char *line :
         {"\nOnCalendar=daily\n", "\nPersistent=true\n", "\nRandomizedDelaySec=", "\nWantedBy=timers.target\n"})
        QVERIFY2(timer.contains(line), line);

    if (m_systemdAnalyze.isEmpty())
        QSKIP("systemd-analyze is not installed (scripts/deps.sh test installs it)");
    qputenv("PATH", m_path);
    // systemd-analyze wants a runtime directory of the user's.
    QDir().mkpath(m_home->filePath("run"));
    QFile::setPermissions(m_home->filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", m_home->filePath("run"));
    QProcess verify;
    verify.setProcessEnvironment(environment);
    verify.start(m_systemdAnalyze, {"verify", "--user", units + ".service", units + ".timer"});
    QVERIFY(verify.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(verify.readAllStandardError()), QString());
    QCOMPARE(verify.exitCode(), 0);
    QProcess calendar;
    const QString onCalendar = timer.section("\nOnCalendar=", 1).section('\n', 0, 0);
    calendar.start(m_systemdAnalyze, {"calendar", onCalendar});
    QVERIFY(calendar.waitForFinished(60000));
    QCOMPARE(calendar.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
