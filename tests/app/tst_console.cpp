#include "gui/remote/form_update.h"
#include "guitest.h"
#include "platform/clock.h"
#include "platform/runlock.h"
#include "platform/settingsstore.h"
#include "remote/consoledownload.h"
#include "remote/downloadlog.h"
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
#include <QTest>

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
    return day.toString("yyyyMMdd") + ".html";
}

QMap<QString, QByteArray> dataFiles(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo &info : QDir(dir + "/data").entryInfoList(QDir::Files)) {
        QFile file(info.filePath());
        files[info.fileName()] = file.open(QIODevice::ReadOnly) ? file.readAll() : "unreadable";
    }
    return files;
}

// The download in this process for 2000/05/20, the test clock's today; pauses are recorded, not waited.
struct Run
{
    int status = -1;
    QStringList out, err;
    QList<int> pauses;
};

Run download(
    const TestEnv &env, const std::function<void(int pauses)> &onPause = [](int) {})
{
    Run run;
    const ConsoleDownload::Io io{[&](const QString &line) { run.out.append(line); },
                                 [&](const QString &line) { run.err.append(line); },
                                 [&](int seconds) { run.pauses.append(seconds), onPause(int(run.pauses.size())); }};
    run.status = ConsoleDownload::run(env.dir(), io);
    return run;
}

void prepare(const TestEnv &env, const QString &url, const QString &proxy)
{
    env.makeDir("data");
    UrlFile::write(env.dir(), url, proxy);
    SettingsStore::save("Date", "Update", "2000/05/20");
}

// A program directory with copies of the built executables (the program's directory is the one of the
// executable it really is), and a settings location of its own for the processes started there.
struct ProgramCopy
{
    QTemporaryDir dir, config;

    ProgramCopy()
    {
        for (const QString &program : {QString(FRONT_PATH), QString(WINDOWS_PATH)})
            QFile::copy(program, dir.filePath(QFileInfo(program).fileName()));
        QDir(dir.path()).mkpath("data");
    }
    QSettings settings() const { return {config.filePath("Vellumark/Vellumark.conf"), QSettings::IniFormat}; }
    void start(QProcess &process, const QStringList &arguments, const QString &url, const QString &proxy = {}) const
    {
        UrlFile::write(dir.path(), url, proxy);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", config.path());
        process.setProcessEnvironment(environment);
        process.start(dir.filePath("vellumark"), arguments);
    }
    // Waits in the event loop, so that the servers of this process answer meanwhile.
    int run(const QStringList &arguments, const QString &url, QString *out, QString *err) const
    {
        QProcess process;
        start(process, arguments, url);
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
            return -1;
        *out = QString::fromUtf8(process.readAllStandardOutput());
        *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void retriesWhileUnreachable_data();
    void retriesWhileUnreachable();
    void outcome_data();
    void outcome();
    void logKeepsNewestRuns_data();
    void logKeepsNewestRuns();
    void usage_data();
    void usage();
    void matchesWindowRun_data();
    void matchesWindowRun();
    void oneWriterAtATime();
    void windowsWhileHeld_data();
    void windowsWhileHeld();
    void withoutOptionsOpensWindows();
};

// Table rows are laid out by hand.
// clang-format off
void TestConsole::retriesWhileUnreachable_data()
{
    QTest::addColumn<bool>("viaProxy"); // the proxy is what is down, else the web server
    QTest::addColumn<int>("upAfter");   // pauses after which it comes up; 0: never
    QTest::addColumn<QList<int>>("pauses");
    QTest::addColumn<QString>("err");

    const QList<int> all = {30, 60, 120, 180, 240};
    QTest::newRow("server up after the first pause") << false << 1 << QList<int>{30} << "";
    QTest::newRow("server up after the third pause") << false << 3 << QList<int>{30, 60, 120} << "";
    QTest::newRow("server never up")                 << false << 0 << all
        << "2000/05/20 のページを取得できませんでした（サーバーに接続できません）";
    QTest::newRow("proxy up after the first pause")  << true << 1 << QList<int>{30} << "";
    QTest::newRow("proxy never up")                  << true << 0 << all
        << "2000/05/20 のページを取得できませんでした（プロキシを使えません）";
}
// clang-format on

// A server or proxy that is not up yet is tried again after growing pauses, about ten minutes in all; the
// run then goes on as if it had answered at once.
void TestConsole::retriesWhileUnreachable()
{
    QFETCH(bool, viaProxy);
    QFETCH(int, upAfter);
    QFETCH(QList<int>, pauses);
    QFETCH(QString, err);
    TestEnv env;
    WebServer web;
    ForwardProxy proxy;
    const quint16 port = deadPort();
    web.writeFile("20000520.html", page(QDate(2000, 5, 20)));
    QVERIFY(!viaProxy || web.start().isEmpty());
    prepare(env, viaProxy ? web.url() : QString("http://127.0.0.1:%1/").arg(port),
            viaProxy ? QString("127.0.0.1:%1").arg(port) : "");
    const Run run = download(env, [&](int pausesSoFar) {
        if (pausesSoFar == upAfter)
            QVERIFY(viaProxy ? proxy.start(port).isEmpty() : web.start(port).isEmpty());
    });
    QCOMPARE(run.pauses, pauses);
    QCOMPARE(run.err.join('\n'), err);
    QCOMPARE(run.status, err.isEmpty() ? 0 : 1);
    QCOMPARE(env.setting("Date", "Update"), err.isEmpty() ? "2000/05/21" : "2000/05/19");
}

// clang-format off
void TestConsole::outcome_data()
{
    QTest::addColumn<QByteArray>("answer"); // the server's answer for 20000520.html
    QTest::addColumn<QString>("setup");     // -x: x removed, +x: a directory in x's place, =x: x of two empty lines
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QString>("err");       // a pattern; empty: status 0

    const QByteArray ok = httpResponse("200 OK", page(QDate(2000, 5, 20)));
    const QStringList fetched = {"2000/05/20 ->2000/05/21", "000007 終了", "000008 終了", "000009 終了",
                                 "2000/05/20 終了", "完了"};
    QTest::newRow("every day fetched")       << ok << "" << fetched << "";
    QTest::newRow("first day not published") << httpResponse("404 Not Found", "") << ""
        << QStringList{"2000/05/20 ->2000/05/19", "2000/05/20 存在しません。", "（HTTP 404 Not Found）", "完了"} << "";
    QTest::newRow("server error")            << httpResponse("500 Internal Server Error", "") << ""
        << QStringList{"2000/05/20 ->2000/05/19", "2000/05/20 存在しません。", "（HTTP 500 Internal Server Error）", "完了"}
        << "^2000/05/20 のページを取得できませんでした（HTTP 500 Internal Server Error）$";
    QTest::newRow("file not stored")         << ok << "+data/000008.iud"
        << QStringList{"2000/05/20 ->2000/05/20", "000007 終了", "DATA/000008.iud を保存できませんでした。エラー番号：75", "完了"}
        << "^DATA/000008.iud を保存できませんでした。エラー番号：75$";
    QTest::newRow("next day not stored")     << ok << "+SETTINGS" << fetched.mid(0, 5)
                                                  + QStringList{"2000/05/21 を次の開始日として保存できませんでした。（SETTINGS）"}
        << "^2000/05/21 を次の開始日として保存できませんでした。（SETTINGS）$";
    QTest::newRow("no url.dat")              << ok << "-url.dat" << QStringList() << "url.dat を読めません。エラー番号：53$";
    QTest::newRow("empty data URL")          << ok << "=url.dat" << QStringList() << "url.dat にデータのURLがありません。$";
    QTest::newRow("no data directory")       << ok << "-data" << QStringList() << "^DATA がありません。";
}
// clang-format on

// The caption as the window ends with it, then the window's log lines; the exit status says whether the run
// ended as a window run normally ends, one line on standard error why not; download.log keeps the same lines.
void TestConsole::outcome()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, setup);
    QFETCH(QStringList, out);
    QFETCH(QString, err);
    TestEnv env;
    FaultServer server;
    server.on("/20000520.html", FaultServer::reply(answer));
    prepare(env, server.url(), "");
    const QString target = setup.mid(1) == "SETTINGS" ? SettingsStore::location() : env.path(setup.mid(1));
    QVERIFY(setup.isEmpty() || QFile::remove(target) || QDir(target).removeRecursively());
    QVERIFY(!setup.startsWith('+') || QDir().mkpath(target));
    if (setup.startsWith('='))
        env.writeBytes(setup.mid(1), "\r\n\r\n");

    Run run = download(env);
    for (QStringList *lines : {&run.out, &run.err})
        lines->replaceInStrings(QDir::toNativeSeparators(env.path("data")), "DATA")
            .replaceInStrings(QDir::toNativeSeparators(SettingsStore::location()), "SETTINGS");
    QCOMPARE(run.out, out);
    QVERIFY2(run.err.size() == (err.isEmpty() ? 0 : 1) && run.err.join('\n').contains(QRegularExpression(err)),
             qPrintable(run.err.join('\n')));
    QCOMPARE(run.status, err.isEmpty() ? 0 : 1);
    const QString log = QString::fromUtf8(env.readBytes("download.log"))
                            .replace(env.path("data"), "DATA")
                            .replace(SettingsStore::location(), "SETTINGS");
    const QString stamp = log.section(' ', 1, 1); // the clock's time with its offset
    QVERIFY(stamp.startsWith("2000-05-20T12:00:00"));
    const QString result = QString::number(run.status) + ' ' + (err.isEmpty() ? "完了" : run.err.value(0));
    QCOMPARE(log,
             "== " + stamp + " 開始\n" + (run.out + QStringList{"== " + stamp + " 終了 " + result}).join('\n') + '\n');
}

// clang-format off
void TestConsole::logKeepsNewestRuns_data()
{
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("lines");    // per run
    QTest::addColumn<bool>("killed");  // the newest run has no end line
    QTest::addColumn<int>("keptRuns"); // start lines left in the file

    QTest::newRow("a few runs kept whole")         << 3 << 10 << false << 3;
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
void TestConsole::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // patterns
    QTest::addColumn<QString>("err");

    QTest::newRow("help")           << QStringList{"--help"} << 0
        << "^使い方: vellumark \\[オプション\\]\n(.*\n)*  --download +\\S+" << "^$";
    QTest::newRow("version")        << QStringList{"-v"} << 0 << "^Vellumark 1\\.0 Rev:18\n$" << "^$";
    QTest::newRow("unknown option") << QStringList{"--downlaod"} << 2 << "^$" << "^不明なオプションです: downlaod\n使い方: ";
    QTest::newRow("argument")       << QStringList{"--download", "now"} << 2 << "^$" << "^不明な引数です: now\n使い方: ";
}
// clang-format on

void TestConsole::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    ProgramCopy program;
    QString printed, complained;
    QCOMPARE(program.run(arguments, "http://127.0.0.1:1/", &printed, &complained), status);
    QVERIFY2(QRegularExpression(out).match(printed).hasMatch(), qPrintable(printed));
    QVERIFY2(QRegularExpression(err).match(complained).hasMatch(), qPrintable(complained));
}

// clang-format off
void TestConsole::matchesWindowRun_data()
{
    QTest::addColumn<int>("daysBack");  // the stored day, counted back from today
    QTest::addColumn<int>("published"); // days with a page, from the stored day on
    QTest::addColumn<bool>("viaProxy");

    QTest::newRow("the daily case")            << 0 << 1 << false;
    QTest::newRow("three days, via tinyproxy") << 2 << 3 << true;
    QTest::newRow("today not published yet")   << 2 << 2 << false;
}
// clang-format on

// The same pages downloaded from the window and by the executable give the same files, the same stored day,
// and the same caption and log lines, on standard output and in download.log.
void TestConsole::matchesWindowRun()
{
    QFETCH(int, daysBack);
    QFETCH(int, published);
    QFETCH(bool, viaProxy);
    const QDate today = QDate::currentDate();
    const QString stored = today.addDays(-daysBack).toString("yyyy/MM/dd");
    WebServer web;
    ForwardProxy forward;
    QVERIFY(web.start().isEmpty() && (!viaProxy || forward.start().isEmpty()));
    for (int day = 0; day < published; ++day)
        web.writeFile(pageName(today.addDays(day - daysBack)), page(today.addDays(day - daysBack), 10 * day + 1));
    const QString proxy = viaProxy ? QString("127.0.0.1:%1").arg(forward.port()) : QString();

    TestEnv env;
    prepare(env, web.url(), proxy);
    SettingsStore::save("Date", "Update", stored);
    Clock::instance().setTestTime(QDateTime::currentDateTime());
    Form_Menu menu;
    menu.Form_Load();
    QVERIFY(GuiTest::openTask(menu, Form_Menu::Task::Update));
    auto *form = qobject_cast<Form_Update *>(menu.taskWindow(Form_Menu::Task::Update));
    const QString window = form->lab_Update->text() + '\n' + form->txt_Condition->toPlainText().remove('\r');

    ProgramCopy program;
    program.settings().setValue("Date/Update", stored);
    QProcess process;
    program.start(process, {"--download"}, web.url(), proxy);
    QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000));
    if (QDate::currentDate() != today)
        QSKIP("the day changed during the test");
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), window);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(dataFiles(program.dir.path()), dataFiles(env.dir()));
    QCOMPARE(dataFiles(env.dir()).size(), 3 * published);
    QCOMPARE(program.settings().value("Date/Update").toString(), env.setting("Date", "Update"));
    QFile log(program.dir.filePath("download.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(log.readAll()).section('\n', 1, -3) + '\n', window);
    QVERIFY(!viaProxy || forward.log().contains("GET " + web.url() + pageName(today.addDays(-daysBack))));
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
    QFile maps(QString("/proc/%1/maps").arg(holder.processId()));
    QVERIFY(!maps.open(QIODevice::ReadOnly)
            || !QRegularExpression("libQt6(Gui|Widgets)").match(maps.readAll()).hasMatch());

    QString out, err;
    QCOMPARE(program.run({"--download"}, server.url(), &out, &err), 75);
    QVERIFY2(QRegularExpression("^ほかの処理（コマンドラインからのダウンロード、[0-9/]{10} [0-9:]{8} から）"
                                "がこのフォルダーを使用中です。\\S+\n$")
                 .match(err)
                 .hasMatch(),
             qPrintable(err));
    QFile log(program.dir.filePath("download.log"));
    QVERIFY(out.isEmpty() && log.open(QIODevice::ReadOnly) && log.readAll().count(" 開始\n") == 1);

    holder.kill();
    QVERIFY(holder.waitForFinished(5000));
    server.on('/' + pageName(today), FaultServer::reply(httpResponse("200 OK", page(today))));
    QCOMPARE(program.run({"--download"}, server.url(), &out, &err), 0);
    QCOMPARE(dataFiles(program.dir.path()).size(), 3);
}

// clang-format off
void TestConsole::windowsWhileHeld_data()
{
    QTest::addColumn<Form_Menu::Task>("task");
    QTest::newRow("build")           << Form_Menu::Task::SetFile;
    QTest::newRow("window download") << Form_Menu::Task::Update;
}
// clang-format on

// The build and the window's download say which run holds the program directory and since when, return to
// the menu and write nothing.
void TestConsole::windowsWhileHeld()
{
    QFETCH(Form_Menu::Task, task);
    TestEnv env;
    prepare(env, "http://127.0.0.1:1/", "");
    env.writeText("all-info.idf", "2000/05/01\r\n");
    env.writeText("update.idf", "2000/05/01\r\n");
    RunLock holder(env.dir());
    QVERIFY(holder.tryLock(RunLock::Holder::CommandDownload));
    const QString since = QDateTime::currentDateTime().toString("yyyy/MM/dd HH:mm");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QVERIFY(GuiTest::openTask(menu, task));
    QTRY_VERIFY(menu.isVisible());
    const QString shown = GuiTest::messages(env.dir());
    QVERIFY2(shown.startsWith("ほかの処理（コマンドラインからのダウンロード、" + since) && !shown.contains(" / "),
             qPrintable(shown));
    QVERIFY(env.exists("all-info.idf") && env.exists("update.idf") && !env.exists("number.sdf"));
    QCOMPARE(env.setting("Date", "Update"), "2000/05/20");
}

// Without options the front hands its process over to the windows.
void TestConsole::withoutOptionsOpensWindows()
{
    ProgramCopy program;
    QProcess process;
    program.start(process, {}, "http://127.0.0.1:1/");
    const QString exe = QString("/proc/%1/exe").arg(process.processId());
    QVERIFY(
        QTest::qWaitFor([&] { return QFileInfo(exe).symLinkTarget() == program.dir.filePath("vellumark-windows"); }));
    QVERIFY(process.state() == QProcess::Running);
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
