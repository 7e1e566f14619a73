#include "platform/schedule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The daily schedule in a temporary home, with a stand-in systemctl on the
// path that records its arguments and answers as a user manager would.
class TestSchedule : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_path = qgetenv("PATH"); }
    void init();
    void switching();
    void units_data();
    void units();

private:
    QString calls() const;

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
    QDir(m_home->path()).mkpath("bin");
    qputenv("HOME", m_home->filePath("home").toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    qputenv("PATH", m_home->filePath("bin").toUtf8() + ':' + m_path);
    QFile script(m_home->filePath("bin/systemctl"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"$*\" >> '" + m_home->filePath("calls").toUtf8()
                 + "'\n[ \"$2\" = show ] && echo 'Wed 2000-05-21 00:31:07 JST'\nexit 0\n");
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString TestSchedule::calls() const
{
    QString text = readText(m_home->filePath("calls")).trimmed();
    QFile::remove(m_home->filePath("calls"));
    return text.replace('\n', '|');
}

// Two program directories switched on and off in turn: the units written before the manager is asked (the
// next login takes them in), everything of one gone once it is off, its timer's stored state too.
void TestSchedule::switching()
{
    const QString config = m_home->filePath("home/.config/systemd/user/");
    const QString stamps = m_home->filePath("home/.local/share/systemd/timers/stamp-");
    const QHash<QString, QString> dirs{{"A", m_home->filePath("demo")}, {"B", m_home->filePath("install")}};
    // A. and B. stand for the units of the two; each step's message or status, then systemctl's calls.
    // clang-format off
    const QList<std::pair<QString, QString>> steps = {
        {"status A", "off  []"},
        {"on A",     "毎日の自動確認を入れました。 [daemon-reload|start A.timer]"},
        {"on B",     "毎日の自動確認を入れました。 [daemon-reload|start B.timer]"},
        {"status A", "on Wed 2000-05-21 00:31:07 JST [show A.timer --property=NextElapseUSecRealtime --value]"},
        {"off A",    "毎日の自動確認を切りました。 [stop A.timer|daemon-reload]"},
        {"status A", "off  []"},
        {"status B", "on Wed 2000-05-21 00:31:07 JST [show B.timer --property=NextElapseUSecRealtime --value]"}};
    // clang-format on
    for (const auto &[step, outcome] : steps) {
        const QString dir = dirs.value(step.section(' ', 1));
        const QString name = Schedule::unitName(dir);
        const QString wants = config + "timers.target.wants/" + name + ".timer";
        QString text;
        if (step.startsWith("on")) {
            text = Schedule::switchOn(dir, "/opt/vellumark/vellumark").message;
            QVERIFY(QFileInfo::exists(config + name + ".service"));
            QCOMPARE(QFileInfo(wants).symLinkTarget(), config + name + ".timer");
        } else if (step.startsWith("off")) {
            QDir().mkpath(QFileInfo(stamps).path());
            QVERIFY(QFile(stamps + name + ".timer").open(QIODevice::WriteOnly));
            text = Schedule::switchOff(dir).message;
            for (const QString &gone :
                 {config + name + ".service", config + name + ".timer", wants, stamps + name + ".timer"})
                QVERIFY2(!QFileInfo::exists(gone) && !QFileInfo(gone).isSymLink(), qPrintable(gone));
        } else {
            const Schedule::Status status = Schedule::status(dir);
            text = QString(status.on ? "on " : "off ") + status.nextRun;
        }
        QString expected = QString(outcome).replace("A.", Schedule::unitName(dirs["A"]) + ".");
        expected.replace("B.", Schedule::unitName(dirs["B"]) + ".");
        QCOMPARE(text + " [" + calls() + "]",
                 expected.replace("[", "[--user ").replace("|", "|--user ").replace("[--user ]", "[]"));
    }
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
    QCOMPARE(timer.section("\n[Timer]\n", 1),
             "OnCalendar=daily\nPersistent=true\nRandomizedDelaySec=1h\n\n[Install]\nWantedBy=timers.target\n");

    const QString systemdAnalyze = QStandardPaths::findExecutable("systemd-analyze");
    if (systemdAnalyze.isEmpty())
        QSKIP("systemd-analyze is not installed (scripts/deps.sh test installs it)");
    QTemporaryDir runtime; // systemd-analyze wants a runtime directory of the user's, as this one is
    QProcess verify;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
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
