#include "privatebus.h"
#include "servers.h"
#include "store/textrules.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using Answer = FakeNotifications::Answer;

// The daily check from the command line, as a timer runs it: the
// notification after a download with news, on a bus of the test's own with
// a notification service of the test's own, and the schedule's switch, with
// a stand-in systemctl in a home of the test's own.
class TestNews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void notification_data();
    void notification();
    void schedule_data();
    void schedule();

private:
    std::unique_ptr<PrivateBus> m_bus;
};

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A program directory with copies of the executables, a home and a settings
// location of its own.
struct Program
{
    QTemporaryDir dir, home;

    Program()
    {
        for (const QString &program : {QString(FRONT_PATH), QString(WINDOWS_PATH)})
            QFile::copy(program, dir.filePath(QFileInfo(program).fileName()));
        QDir(dir.path()).mkpath("data");
        write(home.filePath("bin/systemctl"), "#!/bin/sh\necho \"$*\" >> \"$HOME/calls\"\nexit 1\n");
        QFile::setPermissions(home.filePath("bin/systemctl"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    int run(const QStringList &arguments, const QString &bus, QString *out, QString *err) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("HOME", home.path());
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus);
        environment.insert("PATH", home.filePath("bin") + ':' + environment.value("PATH"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(dir.filePath("vellumark"), arguments);
        // In the event loop, so that the servers of this process answer meanwhile.
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
            return -1;
        *out = QString::fromUtf8(process.readAllStandardOutput());
        *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

} // namespace

void TestNews::initTestCase()
{
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY2(!m_bus->address().isEmpty(), "dbus-daemon did not start (scripts/deps.sh test installs it)");
}

// clang-format off
void TestNews::notification_data()
{
    QTest::addColumn<QString>("pages");     // pages.udf; sites 7, 8 and 9 are on today's page
    QTest::addColumn<bool>("service");
    QTest::addColumn<QString>("body");      // of the one notification; empty: none sent
    QTest::addColumn<QString>("lastLine");  // of standard output, its start

    QTest::newRow("news")          << "2\r\n000007 ジャズ館\r\n000008 古書店\r\n"  << true  << "ジャズ館\n古書店" << "完了";
    QTest::newRow("already known") << "1\r\n000009 C\r\n"                      << true  << ""               << "完了";
    QTest::newRow("no service")    << "1\r\n000008 古書店\r\n"                   << false << ""
        << "更新の通知を出せませんでした。通知のサービスがありません";
}
// clang-format on

void TestNews::notification()
{
    QFETCH(QString, pages);
    QFETCH(bool, service);
    QFETCH(QString, body);
    QFETCH(QString, lastLine);

    const QDate today = QDate::currentDate();
    Program program;
    QString text = "<HTML><BODY>\r\n";
    for (int n = 7; n <= 9; ++n)
        text += QString("<FONT COLOR='#0000FF'>site (%1)</FONT> <FONT Size=2>%2 21:04:00</FONT><BR>\r\n")
                    .arg(n)
                    .arg(today.toString("yyyy/MM/dd"));
    FaultServer server;
    server.on('/' + today.toString("yyyyMMdd") + ".html",
              FaultServer::reply(httpResponse("200 OK", TextRules::encode(text))));
    write(program.dir.filePath("url.dat"), TextRules::encode(server.url() + "\r\n\r\n"));
    write(program.dir.filePath("pages.udf"), TextRules::encode(pages));
    // Site 7 had an earlier update, site 9 this one already.
    write(program.dir.filePath("data/000007.iud"), "#2000/05/18 21:04:33#\r\n#2000/05/18#\r\n 1 \r\n");
    write(program.dir.filePath("data/000009.iud"),
          TextRules::encode("#" + today.toString("yyyy/MM/dd") + " 21:04:00#\r\n#2000/05/18#\r\n 1 \r\n"));
    QSettings(program.home.filePath("config/Vellumark/Vellumark.conf"), QSettings::IniFormat)
        .setValue("Date/Update", today.toString("yyyy/MM/dd"));

    std::unique_ptr<FakeNotifications> notifications;
    if (service)
        notifications = std::make_unique<FakeNotifications>(m_bus->address(), Answer::Close);
    QString out, err;
    QCOMPARE(program.run({"--download"}, m_bus->address(), &out, &err), 0);
    QCOMPARE(out.trimmed().section('\n', -1).left(lastLine.size()), lastLine);
    if (!notifications)
        return;
    QStringList bodies;
    for (const QString &call : notifications->calls())
        bodies << call.section('|', 3, 3);
    QCOMPARE(bodies, body.isEmpty() ? QStringList() : QStringList{body});
}

// clang-format off
void TestNews::schedule_data()
{
    QTest::addColumn<QStringList>("arguments"); // each run in order
    QTest::addColumn<int>("status");            // of the last
    QTest::addColumn<QString>("out");           // of all runs
    QTest::addColumn<QString>("err");           // pattern of the last run's
    QTest::addColumn<bool>("scheduled");        // a unit runs this copy's front at the end

    QTest::newRow("on")        << QStringList{"--schedule on", "--schedule status"} << 0
        << "毎日の自動確認を入れました。次のログインから動きます。\n毎日の自動確認: オン\n前回の確認: まだありません\n" << "^$" << true;
    QTest::newRow("off")       << QStringList{"--schedule on", "--schedule off", "--schedule status"} << 0
        << "毎日の自動確認を入れました。次のログインから動きます。\n毎日の自動確認を切りました。\n毎日の自動確認: オフ\n前回の確認: まだありません\n"
        << "^$" << false;
    QTest::newRow("bad value") << QStringList{"--schedule maybe"} << 2 << ""
        << "^--schedule には on、off、status のどれかを指定してください: maybe\n使い方" << false;
}
// clang-format on

void TestNews::schedule()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, scheduled);

    Program program;
    QString printed, all, complained;
    int exit = -1;
    for (const QString &run : arguments) {
        exit = program.run(run.split(' '), m_bus->address(), &printed, &complained);
        all += printed;
    }
    QCOMPARE(exit, status);
    QCOMPARE(all, out);
    QVERIFY2(QRegularExpression(err).match(complained).hasMatch(), qPrintable(complained));
    // The timer runs this copy's front by its absolute path.
    const QDir units(program.home.filePath("config/systemd/user"));
    QString execStart;
    for (const QString &unit : units.entryList({"*.service"})) {
        QFile service(units.filePath(unit));
        QVERIFY(service.open(QIODevice::ReadOnly));
        execStart += QString::fromUtf8(service.readAll()).section("\nExecStart=", 1).section('\n', 0, 0);
    }
    QCOMPARE(execStart, scheduled ? '"' + program.dir.filePath("vellumark") + "\" --download" : QString());
}

QTEST_GUILESS_MAIN(TestNews)
#include "tst_news.moc"
