#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/settingsstore.h"
#include "remote/pagerequest.h"
#include "remote/updaterun.h"
#include "servers.h"
#include "statuspages.h"
#include "testenv.h"

#include <QTest>

#include <filesystem>

using namespace StatusPages;
using Files = QMap<QString, QStringList>;
// The answer to each page asked for, by its file name; a page not listed is not found (404).
using Pages = QMap<QString, UpdateRun::Response>;
// What a test puts in data/ before the run.
using Setup = std::function<void(const TestEnv &env)>;

namespace {

UpdateRun::Response found(const QStringList &records)
{
    return {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", page(records), {}};
}

// An update-state file's lines.
QStringList state(const QString &checked, int method, const QString &updated = "2000/05/20 21:04:33")
{
    return {'#' + updated + '#', '#' + checked + '#', QStringLiteral(" %1 ").arg(method)};
}

// stored: the next day stored before the run ("": none); today is 2000/05/20.
void row(const char *name, const Setup &setup, const QString &stored, const Pages &pages, const QStringList &log,
         const QString &caption, const QString &storedAfter, const Files &files)
{
    QTest::newRow(name) << setup << stored << pages << log << caption << storedAfter << files;
}

} // namespace

class TestUpdateRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); } // dates as text must not follow it

    // Table rows are laid out by hand.
    // clang-format off
    void run_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<Pages>("pages");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("caption"); // the date range shown at the end
        QTest::addColumn<QString>("storedAfter");
        QTest::addColumn<Files>("files"); // data/ afterwards
        const Setup victimLinked = [](const TestEnv &env) {
            env.writeText("data/victim", "old");
            QFile::link(env.path("data/victim"), env.path("data/000012.iud")); };
        const Setup victimHardLinked = [](const TestEnv &env) {
            env.writeText("data/victim", "old");
            std::filesystem::create_hard_link(env.path("data/victim").toStdString(), env.path("data/000012.iud").toStdString()); };
        const Setup leftovers = [](const TestEnv &env) {
            for (const QString &name : {"000007.iud.Ab12Cd", "000007.iud.Ab12Cd.x", "000007.iud.old"})
                env.writeText("data/" + name, "x"); };
        const Setup settingsUnwritable = [](const TestEnv &) { QDir().mkpath(SettingsStore::location()); };

        row("three days back, the latest record of a site wins", {}, "2000/05/17",
            {{"20000517.html", found({site(kBlue, 1, "2000/05/16 10:00:00")})}, {"20000518.html", found({site(kGreen, 2)})},
             {"20000519.html", found({site(kRed, 3), site(kBlack, 1, "2000/05/19 11:00:00")})}, {"20000520.html", found({})}},
            {"000001 終了", "2000/05/17 終了", "000002 終了", "2000/05/18 終了", "000003 終了", "000001 終了", "2000/05/19 終了",
             "2000/05/20 終了", "完了"}, "2000/05/17 ->2000/05/21", "2000/05/21",
            {{"000001.iud", state("2000/05/19", 4, "2000/05/19 11:00:00")}, {"000002.iud", state("2000/05/18", 2)},
             {"000003.iud", state("2000/05/19", 3)}});
        row("the first page not found: the stored day moves back", {}, "2000/05/20", {},
            {"2000/05/20 存在しません。", "（HTTP 404 Not Found）", "完了"}, "2000/05/20 ->2000/05/19", "2000/05/19", {});
        row("a status other than 200", {}, "2000/05/20", {{"20000520.html", {"HTTP/1.1 203 Non-Authoritative Information\r\n",
            page({site(kBlue, 7)}), {}}}}, {"2000/05/20 存在しません。", "（HTTP 203 Non-Authoritative Information）", "完了"},
            "2000/05/20 ->2000/05/19", "2000/05/19", {});
        row("the method code carries on to the next page", {}, "2000/05/19",
            {{"20000519.html", found({site("ff0000", 1), site(kGreen, 2)})}, {"20000520.html", found({site("0000ff", 3)})}},
            {"000001 終了", "000002 終了", "2000/05/19 終了", "000003 終了", "2000/05/20 終了", "完了"}, "2000/05/19 ->2000/05/21",
            "2000/05/21", {{"000001.iud", state("2000/05/19", 0)}, {"000002.iud", state("2000/05/19", 2)}, {"000003.iud", state("2000/05/20", 2)}});
        // A file that cannot be written ends the run; its day is fetched again next time.
        row("a site file that links elsewhere", victimLinked, "2000/05/19",
            {{"20000519.html", found({})}, {"20000520.html", found({site(kBlue, 7), site(kBlue, 12)})}},
            {"2000/05/19 終了", "000007 終了", "DATA/000012.iud を保存できませんでした。エラー番号：75", "完了"}, "2000/05/19 ->2000/05/20",
            "2000/05/20", {{"000007.iud", state("2000/05/20", 1)}, {"000012.iud", {"old"}}, {"victim", {"old"}}});
        // Each replaced file is rewritten as a later temporary, unless it has another name.
        row("replaced files reused, not one with another name", victimHardLinked, "2000/05/18",
            {{"20000518.html", found({site(kBlue, 12), site(kGreen, 7)})}, {"20000519.html", found({site(kBlue, 7)})},
             {"20000520.html", found({site(kRed, 3)})}},
            {"000012 終了", "000007 終了", "2000/05/18 終了", "000007 終了", "2000/05/19 終了", "000003 終了", "2000/05/20 終了", "完了"},
            "2000/05/18 ->2000/05/21", "2000/05/21", {{"000003.iud", state("2000/05/20", 3)}, {"000007.iud", state("2000/05/19", 1)},
             {"000012.iud", state("2000/05/18", 1)}, {"victim", {"old"}}});
        row("leftovers of killed replaces are removed, other files kept", leftovers, "2000/05/20", {{"20000520.html", found({})}},
            {"2000/05/20 終了", "完了"}, "2000/05/20 ->2000/05/21", "2000/05/21", {{"000007.iud.Ab12Cd.x", {"x"}}, {"000007.iud.old", {"x"}}});
        row("settings that cannot be written: no 完了", settingsUnwritable, "", {{"20000520.html", found({})}},
            {"2000/05/20 終了", "2000/05/21 を次の開始日として保存できませんでした。（SETTINGS）"}, "2000/05/20 ->2000/05/21", "", {});
    }
    // clang-format on

    // The download on its own, the pages answered in memory: its log, the date range, the next day stored, the files.
    void run()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, stored);
        QFETCH(Pages, pages);
        QFETCH(QStringList, log);
        QFETCH(QString, caption);
        QFETCH(QString, storedAfter);
        QFETCH(Files, files);
        TestEnv env;
        env.makeDir("data");
        if (!stored.isEmpty())
            SettingsStore::save("Date", "Update", stored);
        if (setup)
            setup(env);

        const QString dataUrl = "http://data.example/daily/";
        const UpdateRun::Response notFound{"HTTP/1.1 404 Not Found\r\n", "<html>not here</html>", {}};
        QString logged, shown;
        UpdateRun::run(env.dir(), dataUrl,
                       {[&](const QString &url) { return pages.value(url.mid(dataUrl.size()), notFound); },
                        [&](const QString &piece) { logged += piece; }, [&](const QString &text) { shown = text; }});
        QCOMPARE(logged.replace(QDir::toNativeSeparators(env.path("data")), "DATA")
                     .replace(QDir::toNativeSeparators(SettingsStore::location()), "SETTINGS"),
                 log.join("\r\n") + "\r\n");
        QCOMPARE(shown, caption);
        QCOMPARE(env.setting("Date", "Update"), storedAfter);
        QCOMPARE(env.textFiles("data"), files);
    }

    // The run over a real server and the real transfer: every day asked for in order, each page whole. A failed
    // transfer says why, and a server that never answers is given up after 300 ticks of the clock, and not before.
    void overHttp()
    {
        TestEnv env;
        WebServer web;
        QCOMPARE(web.start(), QString());
        env.makeDir("data");
        SettingsStore::save("Date", "Update", "2000/05/18");
        QStringList records; // more than a chunk of the transfer, more than 16-bit positions
        for (int n = 1; n <= 400; ++n)
            records << site(kBlack, n);
        web.writeFile("20000518.html", sjis(page(records)));
        web.writeFile("20000519.html", sjis(page({site(kBlue, 7)})));
        Inet inet;
        PageRequest request(&inet);
        QString logged;
        UpdateRun::run(env.dir(), web.url(),
                       {[&](const QString &url) { return request.fetch(url); },
                        [&](const QString &piece) { logged += piece; }, [](const QString &) {}});
        QVERIFY2(logged.endsWith("000400 終了\r\n2000/05/18 終了\r\n000007 終了\r\n2000/05/19 終了\r\n"
                                 "2000/05/20 存在しません。\r\n（HTTP 404 File not found）\r\n完了\r\n"),
                 qPrintable(logged));
        QCOMPARE(env.textFiles("data").value("000400.iud"), state("2000/05/18", 4));

        QCOMPARE(request.fetch(QStringLiteral("http://127.0.0.1:%1/").arg(deadPort())).failure,
                 "サーバーに接続できません");
        FaultServer server;
        server.on("/page.html", FaultServer::stall());
        connect(&server, &FaultServer::requestSeen, this, [&] {
            Clock::instance().advance(299);
            QVERIFY(request.WaitFlag == 1 && server.openConnections() == 1); // not given up yet
            Clock::instance().advance(1);
        });
        const UpdateRun::Response response = request.fetch(server.url() + "page.html");
        QCOMPARE(response.failure, "タイムアウト");
        QCOMPARE(response.header, "");
        QTRY_COMPARE(server.openConnections(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUpdateRun)
#include "tst_updaterun.moc"
