#include "gui/remote/form_update.h"
#include "guitest.h"
#include "platform/clock.h"
#include "platform/settingsstore.h"
#include "privatebus.h"
#include "remote/consoledownload.h"
#include "remote/downloadlog.h"
#include "remote/newsnotice.h"
#include "remote/urlfile.h"
#include "servers.h"
#include "testenv.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

using Answer = FakeNotifications::Answer;

namespace {

// Three records, of sites first to first + 2, on the day's page.
QByteArray page(const QDate &day, int first = 7)
{
    QString text;
    for (int n = first; n < first + 3; ++n)
        text += QString("<FONT COLOR='#0000FF'>ジャズ館 (%1)</FONT> <FONT Size=2>%2 21:04:%3</FONT><BR>\r\n")
                    .arg(n)
                    .arg(day.toString("yyyy/MM/dd"))
                    .arg(n % 60, 2, 10, QChar('0'));
    return sjis("<HTML><BODY>\r\n" + text + "</BODY></HTML>\r\n");
}

QString pageName(const QDate &day)
{
    return day.toString("yyyyMMdd'.html'");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    // read(), not readAll(): the files of /proc tell no size.
    return file.open(QIODevice::ReadOnly) ? file.read(1 << 24) : QByteArray();
}

QMap<QString, QByteArray> dataFiles(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo &info : QDir(dir + "/data").entryInfoList(QDir::Files))
        files[info.fileName()] = readFile(info.filePath());
    return files;
}

void prepare(const TestEnv &env, const QString &url, const QString &proxy, const QString &stored = "2000/05/20")
{
    env.makeDir("data");
    UrlFile::write(env.dir(), url, proxy);
    SettingsStore::save("Date", "Update", stored);
}

// A program directory with copies of the built executables (the program's directory is the one of the
// executable it really is), and a home of its own for the processes started there: their settings and units.
// Their path is empty: no systemctl reaches the machine's user manager.
struct ProgramCopy
{
    QTemporaryDir dir, home;

    ProgramCopy()
    {
        for (const QString &program : {QString(FRONT_PATH), QString(WINDOWS_PATH)})
            QFile::copy(program, dir.filePath(QFileInfo(program).fileName()));
        QDir(dir.path()).mkpath("data");
    }
    QSettings settings() const { return {home.filePath("config/Vellumark/Vellumark.conf"), QSettings::IniFormat}; }
    void start(QProcess &process, const QStringList &arguments, const QString &url, const QString &proxy = {}) const
    {
        UrlFile::write(dir.path(), url, proxy);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("HOME", home.path());
        environment.insert("PATH", home.filePath("bin"));
        process.setProcessEnvironment(environment);
        process.start(dir.filePath("vellumark"), arguments);
    }
    // Waits in the event loop, so that the servers of this process answer meanwhile.
    int run(const QStringList &arguments, const QString &url, QString *out, QString *err,
            const QString &proxy = {}) const
    {
        QProcess process;
        start(process, arguments, url, proxy);
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
            return -1;
        *out = QString::fromUtf8(process.readAllStandardOutput());
        *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

QList<UpdateRun::News> pages(int count)
{
    QList<UpdateRun::News> news;
    for (int k = 1; k <= count; ++k)
        news.append({qint16(k), QString("サイト%1").arg(k)});
    return news;
}

// The call the notification service records for a notification of news.
QString notify(const QString &body)
{
    return "Notify Vellumark|vellumark|気になるページに更新があります|" + body + "|default,開く,open,開く|vellumark";
}

} // namespace

// The console front: the download in this process and as the program's own process, beside the window's,
// with the notification of news on a session bus of the test's own; the other options.
class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void download_data();
    void download();
    void logKeepsNewestRuns_data();
    void logKeepsNewestRuns();
    void commands_data();
    void commands();
    void matchesWindowRun();
    void oneWriterAtATime();
    void notification_data();
    void notification();
    void handsOverToWindows_data();
    void handsOverToWindows();

private:
    PrivateBus m_bus;
};

void TestConsole::initTestCase()
{
    QVERIFY2(!m_bus.address.isEmpty(), "dbus-daemon did not start (scripts/deps.sh test installs it)");
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address.toUtf8());
}

// Table rows are laid out by hand.
// clang-format off
void TestConsole::download_data()
{
    QTest::addColumn<QByteArray>("answer"); // the server's for 20000520.html
    QTest::addColumn<bool>("viaProxy");
    QTest::addColumn<int>("upAfter");       // pauses after which the server, or the proxy, comes up; -1: never
    QTest::addColumn<QString>("removed");   // from the program directory before the run
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QString>("err");       // empty: status 0

    const QByteArray ok = httpResponse("200 OK", page(QDate(2000, 5, 20)));
    const QStringList fetched = {"2000/05/20 ->2000/05/21", "000007 終了", "000008 終了", "000009 終了", "2000/05/20 終了", "完了"};
    const auto missing = [](const QString &why) {
        return QStringList{"2000/05/20 ->2000/05/19", "2000/05/20 存在しません。", "（" + why + "）", "完了"};
    };
    const QString failed = "2000/05/20 のページを取得できませんでした";
    QTest::newRow("first day not published") << httpResponse("404 Not Found", "") << false << 0 << ""
                                             << missing("HTTP 404 Not Found") << "";
    QTest::newRow("server error")            << httpResponse("500 Internal Server Error", "") << false << 0 << ""
        << missing("HTTP 500 Internal Server Error") << failed + "（HTTP 500 Internal Server Error）";
    QTest::newRow("server up after the third pause") << ok << false << 3 << "" << fetched << "";
    QTest::newRow("server never up")         << ok << false << -1 << "" << missing("サーバーに接続できません")
                                             << failed + "（サーバーに接続できません）";
    QTest::newRow("proxy up after the first pause") << ok << true << 1 << "" << fetched << "";
    QTest::newRow("proxy never up")          << ok << true << -1 << "" << missing("プロキシを使えません")
                                             << failed + "（プロキシを使えません）";
    QTest::newRow("no url.dat")        << ok << false << 0 << "url.dat" << QStringList() << "DIR/url.dat を読めません。エラー番号：53";
    QTest::newRow("no data directory")       << ok << false << 0 << "data" << QStringList()
                                             << "DIR/data がありません。先にファイルを構築してください。";
}
// clang-format on

// The caption as the window ends with it, then the window's log lines; the exit status says whether the run
// ended as a window run normally ends, one line on standard error why not; download.log keeps the same lines.
// A server or proxy that is not up yet is tried again after growing pauses, about ten minutes in all.
void TestConsole::download()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, viaProxy);
    QFETCH(int, upAfter);
    QFETCH(QString, removed);
    QFETCH(QStringList, out);
    QFETCH(QString, err);
    TestEnv env;
    FaultServer server;
    ForwardProxy proxy;
    server.on("/20000520.html", FaultServer::reply(answer));
    const QString url = server.url();
    const quint16 port = viaProxy ? deadPort() : server.serverPort();
    if (upAfter != 0 && !viaProxy)
        server.close();
    // The proxy as a user may write it: with the scheme, in capitals, and a slash.
    prepare(env, url, viaProxy ? QString("HTTP://127.0.0.1:%1/").arg(port) : "");
    QVERIFY(removed.isEmpty() || QFile::remove(env.path(removed)) || QDir(env.path(removed)).removeRecursively());

    // For 2000/05/20, the test clock's today; the pauses are recorded, not waited.
    QStringList printed, complained;
    QList<int> pauses;
    const ConsoleDownload::Io io{
        [&](const QString &line) { printed.append(line); }, [&](const QString &line) { complained.append(line); },
        [&](int seconds) {
            pauses.append(seconds);
            if (pauses.size() == upAfter)
                QVERIFY(viaProxy ? proxy.start(port).isEmpty() : server.listen(QHostAddress::LocalHost, port));
        }};
    const int status = ConsoleDownload::run(env.dir(), io);
    QCOMPARE(pauses, QList<int>({30, 60, 120, 180, 240}).mid(0, upAfter < 0 ? 5 : upAfter));
    QCOMPARE(printed, out);
    QCOMPARE(complained.replaceInStrings(QDir::toNativeSeparators(env.dir()), "DIR").join('\n'), err);
    QCOMPARE(status, err.isEmpty() ? 0 : 1);
    // The day the caption ends at is the next one to fetch.
    QCOMPARE(env.setting("Date", "Update"), out.isEmpty() ? "2000/05/20" : out[0].section('>', 1));
    const QString log = QString::fromUtf8(env.readBytes("download.log"));
    const QString stamp = log.section(' ', 1, 1); // the clock's time with its offset
    QVERIFY(stamp.startsWith("2000-05-20T12:00:00"));
    const QString end = "== " + stamp + " 終了 " + QString::number(status) + ' ' + (err.isEmpty() ? "完了" : err);
    QCOMPARE(QString(log).replace(env.dir(), "DIR"),
             "== " + stamp + " 開始\n" + (out + QStringList{end}).join('\n') + '\n');
}

// clang-format off
void TestConsole::logKeepsNewestRuns_data()
{
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("lines");    // per run
    QTest::addColumn<bool>("killed");  // the newest run has no end line
    QTest::addColumn<int>("keptRuns"); // start lines left in the file

    QTest::newRow("old runs dropped")              << 40 << 4000 << false << 18;
    QTest::newRow("one run of a year's pages")     << 1 << 150000 << false << 1;
    QTest::newRow("a killed run after large ones") << 25 << 4000 << true << 19;
}
// clang-format on

// The log stays within its limit by dropping the oldest whole runs; the newest run's result is read back.
void TestConsole::logKeepsNewestRuns()
{
    QFETCH(int, runs);
    QFETCH(int, lines);
    QFETCH(bool, killed);
    QFETCH(int, keptRuns);
    TestEnv env;
    const QDateTime start(QDate(2000, 5, 1), QTime(3, 0), Qt::OffsetFromUTC, 9 * 3600);
    QStringList runLines;
    for (int i = 0; i < lines; ++i)
        runLines.append(QString("%1 終了").arg(i, 6, 10, QChar('0')));
    for (int run = 0; run < runs; ++run) {
        DownloadLog::begin(env.dir(), start.addDays(run));
        if (!killed || run < runs - 1)
            DownloadLog::end(env.dir(), runLines, start.addDays(run).addSecs(5), run % 2, QString("結果 %1").arg(run));
    }
    const QByteArray bytes = env.readBytes("download.log");
    QVERIFY(bytes.size() <= DownloadLog::kLimit && bytes.startsWith("== 2000-05-"));
    QCOMPARE(bytes.count(" 開始\n"), keptRuns);
    const DownloadLog::Run last = DownloadLog::lastRun(env.dir());
    QVERIFY(last.start == start.addDays(runs - 1) && last.ended == !killed);
    QVERIFY(last.status == (killed ? 0 : (runs - 1) % 2) && last.end == (killed ? QDateTime() : last.start.addSecs(5)));
    QCOMPARE(last.result, killed ? QString() : QString("結果 %1").arg(runs - 1));
}

// clang-format off
void TestConsole::commands_data()
{
    QTest::addColumn<QStringList>("runs");  // each run's arguments, in order
    QTest::addColumn<int>("status");        // of the last run
    QTest::addColumn<QString>("out");       // pattern of all runs' standard output
    QTest::addColumn<QString>("err");       // pattern of the last run's standard error
    QTest::addColumn<bool>("scheduled");    // a unit runs this copy's front at the end

    const QString on = "毎日の自動確認を入れました。次のログインから動きます。\n";
    QTest::newRow("help")           << QStringList{"--help"} << 0
        << "^使い方: vellumark \\[オプション\\]\n(.*\n)*  --download +\\S+" << "^$" << false;
    QTest::newRow("version")        << QStringList{"-v"} << 0 << "^Vellumark 1\\.0 Rev:18\n$" << "^$" << false;
    QTest::newRow("unknown option") << QStringList{"--downlaod"} << 2 << "^$" << "^不明なオプションです: downlaod\n使い方: " << false;
    QTest::newRow("argument")       << QStringList{"--download now"} << 2 << "^$" << "^不明な引数です: now\n使い方: " << false;
    QTest::newRow("schedule on")    << QStringList{"--schedule on", "--schedule status"} << 0
        << "^" + on + "毎日の自動確認: オン\n前回の確認: まだありません\n$" << "^$" << true;
    QTest::newRow("schedule off")   << QStringList{"--schedule on", "--schedule off", "--schedule status"} << 0
        << "^" + on + "毎日の自動確認を切りました。\n毎日の自動確認: オフ\n前回の確認: まだありません\n$" << "^$" << false;
    QTest::newRow("schedule maybe") << QStringList{"--schedule maybe"} << 2 << "^$"
        << "^--schedule には on、off、status のどれかを指定してください: maybe\n使い方" << false;
}
// clang-format on

// The options other than the download, each run as its own process in one program directory.
void TestConsole::commands()
{
    QFETCH(QStringList, runs);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(bool, scheduled);
    ProgramCopy program;
    QString printed, all, complained;
    int exit = -1;
    for (const QString &run : runs) {
        exit = program.run(run.split(' '), "http://127.0.0.1:1/", &printed, &complained);
        all += printed;
    }
    QCOMPARE(exit, status);
    QVERIFY2(QRegularExpression(out).match(all).hasMatch(), qPrintable(all));
    QVERIFY2(QRegularExpression(err).match(complained).hasMatch(), qPrintable(complained));
    // The timer runs this copy's front by its absolute path.
    QString execStart;
    for (const QFileInfo &unit : QDir(program.home.filePath("config/systemd/user")).entryInfoList({"*.service"}))
        execStart += QString::fromUtf8(readFile(unit.filePath())).section("\nExecStart=", 1).section('\n', 0, 0);
    QCOMPARE(execStart, scheduled ? '"' + program.dir.filePath("vellumark") + "\" --download" : QString());
}

// The same pages downloaded from the window and by the executable, through tinyproxy, for three days of
// which today is not published yet, give the same files, the same stored day, and the same caption and log
// lines, on standard output and in download.log. The executable tells the news of the pages of interest; a
// click on it opens them (vellumark --pages-list) with their list shown over them, both pages marked as news.
void TestConsole::matchesWindowRun()
{
    const QDate today = QDate::currentDate();
    const QString stored = today.addDays(-2).toString("yyyy/MM/dd");
    WebServer web;
    ForwardProxy forward;
    QVERIFY(web.start().isEmpty() && forward.start().isEmpty());
    for (int day = 0; day < 2; ++day)
        web.writeFile(pageName(today.addDays(day - 2)), page(today.addDays(day - 2), 10 * day + 1));
    const QString proxy = QString("127.0.0.1:%1").arg(forward.port());

    const QByteArray pagesOfInterest = sjis("2\r\n000011 古書店\r\n000001 ジャズ館\r\n");
    TestEnv env;
    prepare(env, web.url(), proxy, stored);
    env.writeBytes("pages.udf", pagesOfInterest);
    Clock::instance().setTestTime(QDateTime::currentDateTime());
    Form_Menu menu;
    menu.Form_Load();
    QVERIFY(GuiTest::openTask(menu, Form_Menu::Task::Update));
    auto *form = qobject_cast<Form_Update *>(menu.taskWindow(Form_Menu::Task::Update));
    const QString window = form->lab_Update->text() + '\n' + form->txt_Condition->toPlainText().remove('\r');

    ProgramCopy program;
    program.settings().setValue("Date/Update", stored);
    saveBytes(program.dir.filePath("pages.udf"), pagesOfInterest);
    FakeNotifications notifications(m_bus.address, Answer::Close);
    QString out, err;
    const int status = program.run({"--download"}, web.url(), &out, &err, proxy);
    if (QDate::currentDate() != today)
        QSKIP("the day changed during the test");
    QCOMPARE(out, window);
    QCOMPARE(status, 0);
    QCOMPARE(dataFiles(program.dir.path()), dataFiles(env.dir()));
    QCOMPARE(dataFiles(env.dir()).size(), 6);
    QCOMPARE(program.settings().value("Date/Update").toString(), env.setting("Date", "Update"));
    QCOMPARE(QString::fromUtf8(readFile(program.dir.filePath("download.log"))).section('\n', 1, -3) + '\n', window);
    QVERIFY(forward.log().contains("GET " + web.url() + pageName(today.addDays(-2))));
    QCOMPARE(notifications.calls(), QStringList{notify("ジャズ館\n古書店")});

    QSignalSpy shown(menu.taskWindow(Form_Menu::Task::ShowPage), &TaskWindow::activationDone);
    menu.openPagesList();
    QVERIFY(shown.count() > 0 || shown.wait(10000));
    const auto *list = menu.taskWindow(Form_Menu::Task::ShowPage)->findChild<QTableWidget *>("tbl_Pages");
    QVERIFY(list && list->isVisible() && !menu.isVisible());
    QCOMPARE(list->item(0, 0)->text() + '|' + list->item(1, 0)->text(), "●|●");
}

// A download while another run holds the program directory exits with 75 and writes nothing; the lock of a
// holder killed with SIGKILL is taken over at once. The holder, a download waiting for its page, maps no
// window or GUI library of Qt: a timer runs it without a graphical session.
void TestConsole::oneWriterAtATime()
{
    ProgramCopy program;
    FaultServer server;
    const QDate today = QDate::currentDate();
    server.on('/' + pageName(today), FaultServer::stall());
    program.settings().setValue("Date/Update", today.toString("yyyy/MM/dd"));
    QProcess holder;
    program.start(holder, {"--download"}, server.url());
    QVERIFY(QSignalSpy(&server, &FaultServer::requestSeen).wait(30000));
    const QString maps = readFile(QString("/proc/%1/maps").arg(holder.processId()));
    QVERIFY(maps.contains("libQt6Core") && !maps.contains(QRegularExpression("libQt6(Gui|Widgets)")));

    QString out, err;
    QCOMPARE(program.run({"--download"}, server.url(), &out, &err), 75);
    QVERIFY2(
        err.contains(QRegularExpression("^ほかの処理（コマンドラインからのダウンロード、[0-9/]{10} [0-9:]{8} から）"
                                        "がこのフォルダーを使用中です。\\S+\n$")),
        qPrintable(err));
    QVERIFY(out.isEmpty() && readFile(program.dir.filePath("download.log")).count(" 開始\n") == 1);

    holder.kill();
    QVERIFY(holder.waitForFinished(5000));
    // With news and no notification service on the bus, the run succeeds all the same.
    server.on('/' + pageName(today), FaultServer::reply(httpResponse("200 OK", page(today))));
    saveBytes(program.dir.filePath("pages.udf"), sjis("1\r\n000007 ジャズ館\r\n"));
    QCOMPARE(program.run({"--download"}, server.url(), &out, &err), 0);
    QCOMPARE(dataFiles(program.dir.path()).size(), 3);
    QVERIFY2(out.contains("\n更新の通知を出せませんでした。通知のサービスがありません"), qPrintable(out));
}

// clang-format off
void TestConsole::notification_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QList<UpdateRun::News>>("news");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("started"); // the program's arguments

    const QString two = notify("サイト1\nサイト2");
    QTest::newRow("click")     << Answer::Click   << pages(2) << QStringList{two}                         << "--pages-list\n";
    QTest::newRow("six pages") << Answer::Close   << pages(6)
        << QStringList{notify("サイト1\nサイト2\nサイト3\nサイト4\nサイト5\nほか 1 件")} << "";
    QTest::newRow("no titles") << Answer::Close   << QList<UpdateRun::News>{{7, " "}, {-3, "B"}}
        << QStringList{notify("000007\nB")} << "";
    QTest::newRow("no answer") << Answer::Nothing << pages(2) << QStringList{two, "CloseNotification 41"} << "";
    QTest::newRow("no news")   << Answer::Click   << pages(0) << QStringList{}                            << "";
}
// clang-format on

// The notification after a download with news: answered by a click, it starts the program at the pages'
// list; unanswered, it is taken back after a while.
void TestConsole::notification()
{
    QFETCH(Answer, answer);
    QFETCH(QList<UpdateRun::News>, news);
    QFETCH(QStringList, calls);
    QFETCH(QString, started);

    FakeNotifications server(m_bus.address, answer);

    // The program the notification starts: it leaves its arguments behind.
    QTemporaryDir dir;
    saveBytes(dir.filePath("vellumark"), "#!/bin/sh\necho \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.started\"\n");
    QFile::setPermissions(dir.filePath("vellumark"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Unanswered, it is waited on for no time here.
    const std::chrono::milliseconds wait(answer == Answer::Nothing ? 0 : 10000);
    QCOMPARE(NewsNotice::tell(news, dir.filePath("vellumark"), wait), QString());
    QTRY_COMPARE(QString::fromUtf8(readFile(dir.filePath("vellumark.started"))), started);
    QCOMPARE(server.calls(), calls);
}

// clang-format off
void TestConsole::handsOverToWindows_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("without options") << QStringList();
    QTest::newRow("the pages' list") << QStringList{"--pages-list"};
}
// clang-format on

// The front hands its process over to the windows, with what they are to open.
void TestConsole::handsOverToWindows()
{
    QFETCH(QStringList, arguments);
    ProgramCopy program;
    QProcess process;
    program.start(process, arguments, "http://127.0.0.1:1/");
    const QString proc = QString("/proc/%1/").arg(process.processId());
    // The arguments show in the process a moment after its program does.
    const auto handedOver = [&] {
        return QFileInfo(proc + "exe").symLinkTarget() == program.dir.filePath("vellumark-windows")
            && QString::fromUtf8(readFile(proc + "cmdline")).split(QChar(0), Qt::SkipEmptyParts).mid(1) == arguments;
    };
    QVERIFY(QTest::qWaitFor(handedOver));
    QVERIFY(process.state() == QProcess::Running);
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
