#include "gui/kit/taskwindow.h"
#include "gui/remote/form_setting.h"
#include "guitest.h"
#include "platform/runlock.h"
#include "platform/settingsstore.h"
#include "servers.h"
#include "statuspages.h"
#include "testenv.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>

using namespace GuiTest;

namespace {

// Which windows are visible, and what the task window's buttons allow.
QString shown(Form_Menu &menu, Form_Menu::Task task)
{
    QWidget *window = menu.taskWindow(task);
    if (menu.isVisible() == window->isVisible())
        return "both or neither";
    return menu.isVisible() ? "the menu" : "the window, enabled: " + enabled(window, {"cmd_End", "cmd_OK"});
}

} // namespace

class TestMenu : public QObject
{
    Q_OBJECT

private slots:
    void availability_data();
    void availability();
    void saveSettings_data();
    void saveSettings();
    void tasks();
};

// Table rows are laid out by hand.
// clang-format off
void TestMenu::availability_data()
{
    QTest::addColumn<QByteArray>("urlDat");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("shows"); // the buttons enabled; the settings window's URL|proxy; any message

    QTest::newRow("no data directory, no update.idf") << textLines({"u", "p"}) << QStringList{"all-info.idf"}
        << "データＵＲＬ変更 更新状況のダウンロード; u|p; ";
    QTest::newRow("url.dat without its proxy line") << textLines({"u"}) << QStringList{"data", "all-info.idf", "update.idf"}
        << "ファイルの構築 データの表示 気になるページ; u|; ";
}
// clang-format on

// What the menu offers at start-up, and the settings window's boxes as url.dat fills them.
void TestMenu::availability()
{
    QFETCH(QByteArray, urlDat);
    QFETCH(QStringList, present);
    QFETCH(QString, shows);
    TestEnv env;
    env.writeBytes("url.dat", urlDat);
    for (const QString &name : present)
        name.contains('.') ? env.writeBytes(name, "x\r\n") : env.makeDir(name);
    Form_Menu menu;
    menu.Form_Load();
    QCOMPARE(enabled(&menu, {"cmd_SetFile", "Cmd_Show", "cmd_ShowPage", "Command1", "cmd_Update"}) + "; "
                 + menu.setting()->txt_URL->text() + '|' + menu.setting()->txt_Proxy->text() + "; "
                 + messages(env.dir()),
             shows);
    // Written at every start for whoever looks.
    QCOMPARE(env.setting("Setting", "Directory") + ' ' + env.setting("Setting", "Version") + ' '
                 + env.setting("Setting", "Revision"),
             env.dir() + " 1.0 18");
}

// Table rows are laid out by hand.
// clang-format off
void TestMenu::saveSettings_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<QByteArray>("file"); // url.dat afterwards
    QTest::addColumn<QString>("shows"); // the windows shown; any message

    const QByteArray old = textLines({"old", "old"});
    QTest::newRow("a comma and a blank at the end quoted") << "http://a/?x=1,2" << "p:1 "
        << textLines({"\"http://a/?x=1,2\"", "\"p:1 \""}) << "the menu; ";
    QTest::newRow("refused: begins with a quote") << "\"http://a/" << "" << old
        << "the window, enabled: ＯＫ; ダブルクォーテーション（\"）で始まる値、または\"とカンマや前後の空白を両方含む値は保存できません。値を直してください。";
    QTest::newRow("refused: a proxy not in the code page") << "http://a/" << "p€:1" << old
        << "the window, enabled: ＯＫ; Shift-JIS で書けない文字を含む値は保存できません。値を直してください。";
}
// clang-format on

// The settings window's OK: what it writes to url.dat, and what it refuses to, staying open for the user to
// correct it.
void TestMenu::saveSettings()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    QFETCH(QByteArray, file);
    QFETCH(QString, shows);
    TestEnv env;
    env.writeBytes("url.dat", textLines({"old", "old"}));
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    press(&menu, "データＵＲＬ変更");
    Form_Setting *setting = menu.setting();
    setting->txt_URL->setText(url);
    setting->txt_Proxy->setText(proxy);
    press(setting, "ＯＫ");
    QCOMPARE(env.readBytes("url.dat"), file);
    QCOMPARE(::shown(menu, Form_Menu::Task::Setting) + "; " + messages(env.dir()), shows);
}

// While another run holds the program directory, the build and the download say which run, go back to the
// menu and write nothing. Once it lets go, the build reports what stops it and leaves the user in its window, or
// builds; the download shows the run's log and date range and hands url.dat's proxy to the transfer. The menu's
// caption stays through them all.
void TestMenu::tasks()
{
    TestEnv env;
    env.makeDir("data");
    WebServer web;
    ForwardProxy proxy;
    for (const QString &why : {web.start(), proxy.start()})
        QVERIFY2(why.isEmpty(), qPrintable(why));
    web.writeFile("20000520.html", sjis(StatusPages::page({StatusPages::site(StatusPages::kBlue, 7)})));
    env.writeBytes("url.dat", textLines({web.url(), QStringLiteral("127.0.0.1:%1").arg(proxy.port())}));
    env.writeBytes("all-info.idf", textLines({"2000/05/20", "0", "0", "x"})); // a site count past its records
    env.writeBytes("update.idf", textLines({"2000/05/21"}));
    auto holder = std::make_unique<RunLock>(env.dir());
    QVERIFY(holder->tryLock(RunLock::Holder::CommandDownload));
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    // What shows once the task has done its first work, then what it said, the time of day as "T".
    const auto open = [&](Form_Menu::Task task) {
        const QRegularExpression time("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d");
        return openTask(menu, task) ? ::shown(menu, task) + "; " + messages(env.dir()).replace(time, "T") : "";
    };
    const QString busy =
        "the menu; ほかの処理（コマンドラインからのダウンロード、T から）がこのフォルダーを使用中です。"
        "終わってからもう一度お試しください。";
    QCOMPARE(open(Form_Menu::Task::SetFile), busy);
    QCOMPARE(open(Form_Menu::Task::Update), busy);
    QVERIFY(!env.exists("number.sdf"));

    holder.reset();
    QCOMPARE(open(Form_Menu::Task::SetFile), "the window, enabled: nothing; その他のエラーです。 エラー番号：62");
    menu.taskWindow(Form_Menu::Task::SetFile)->close();
    env.writeBytes("all-info.idf",
                   textLines(QString("2000/05/20 0 0 0 0 0,Top <END> <END> 1,T,S,L <END> <END>").split(' ')));
    QCOMPARE(open(Form_Menu::Task::SetFile), "the window, enabled: 終了; ");
    press(menu.taskWindow(Form_Menu::Task::SetFile), "終了");
    SettingsStore::save("Date", "Update", "2000/05/20");
    QCOMPARE(open(Form_Menu::Task::Update), "the window, enabled: 確認; ");
    QWidget *window = menu.taskWindow(Form_Menu::Task::Update);
    QCOMPARE(find<QPlainTextEdit>(window, "txt_Condition")->toPlainText() + find<QLabel>(window, "lab_Update")->text(),
             "000007 終了\n2000/05/20 終了\n完了\n2000/05/20 ->2000/05/21");
    QVERIFY2(proxy.log().contains("GET " + web.url() + "20000520.html"), qPrintable(proxy.log()));
    press(window, "確認");
    QCOMPARE(menu.windowTitle(), "Vellumark( Ver.1.0 Rev:18)");
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
