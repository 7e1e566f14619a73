#include "gui/kit/messagebox.h"
#include "gui/kit/taskwindow.h"
#include "gui/remote/form_setting.h"
#include "guitest.h"
#include "platform/settingsstore.h"
#include "servers.h"
#include "statuspages.h"
#include "testenv.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace GuiTest;

namespace {

const QList<const char *> kMenuButtons{"cmd_SetFile", "Cmd_Show", "cmd_ShowPage", "Command1", "cmd_Update"};
const QString kCaption = "Vellumark( Ver.1.0 Rev:18)";

// Which windows are visible, and what the build window's 終了 allows.
QString shown(Form_Menu &menu, Form_Menu::Task task)
{
    QWidget *window = menu.taskWindow(task);
    if (menu.isVisible() == window->isVisible())
        return "both or neither";
    return menu.isVisible() ? "the menu" : "the window, enabled: " + enabled(window, {"cmd_End", "cmd_OK"});
}

// How the settings window is left.
using Leave = std::function<void(Form_Setting *setting, const TestEnv &env)>;

void pressOK(Form_Setting *setting, const TestEnv &)
{
    click(find(setting, "cmd_OK"));
}

void closeItsFrame(Form_Setting *setting, const TestEnv &)
{
    setting->close();
}

void pressOKInAReadOnlyDirectory(Form_Setting *setting, const TestEnv &env)
{
    ReadOnlyDir readOnly(env.dir());
    click(find(setting, "cmd_OK"));
}

} // namespace

class TestMenu : public QObject
{
    Q_OBJECT

private slots:
    void availability_data();
    void availability();
    void captionAfterTaskWindows();
    void tabWalk();
    void saveSettings_data();
    void saveSettings();
    void build_data();
    void build();
    void download();
};

// Table rows are laid out by hand.
// clang-format off
void TestMenu::availability_data()
{
    QTest::addColumn<QByteArray>("urlDat"); // null: no file
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<QString>("url");   // the settings window's boxes
    QTest::addColumn<QString>("proxy");

    const QStringList all{"data", "all-info.idf", "update.idf"};
    QTest::newRow("empty directory") << QByteArray() << QStringList() << "ファイルの構築" << "" << "";
    QTest::newRow("everything") << textLines({"http://a/", "p:8080"}) << all
        << "ファイルの構築 データの表示 気になるページ データＵＲＬ変更 更新状況のダウンロード" << "http://a/" << "p:8080";
    QTest::newRow("update.idf missing") << textLines({"u", "p"}) << QStringList{"data", "all-info.idf"}
        << "データの表示 気になるページ データＵＲＬ変更 更新状況のダウンロード" << "u" << "p";
    QTest::newRow("no data directory") << textLines({"u", "p"}) << QStringList{"all-info.idf", "update.idf"}
        << "ファイルの構築 データＵＲＬ変更 更新状況のダウンロード" << "u" << "p";
    QTest::newRow("url.dat without its proxy line") << textLines({"u"}) << all << "ファイルの構築 データの表示 気になるページ"
                                                    << "u" << "";
}
// clang-format on

// What the menu offers at start-up, and the settings window's boxes as url.dat fills them.
void TestMenu::availability()
{
    QFETCH(QByteArray, urlDat);
    QFETCH(QStringList, present);
    QFETCH(QString, enabled);
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    TestEnv env;
    if (!urlDat.isNull())
        env.writeBytes("url.dat", urlDat);
    for (const QString &name : present)
        name.contains('.') ? env.writeBytes(name, "x\r\n") : env.makeDir(name);
    Form_Menu menu;
    menu.Form_Load();
    QCOMPARE(GuiTest::enabled(&menu, kMenuButtons), enabled);
    QCOMPARE(menu.setting()->txt_URL->text(), url);
    QCOMPARE(menu.setting()->txt_Proxy->text(), proxy);
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
    menu.show();
    QCOMPARE(menu.windowTitle(), kCaption);
    // Written at every start for whoever looks.
    QCOMPARE(env.setting("Setting", "Directory") + ' ' + env.setting("Setting", "Version") + ' '
                 + env.setting("Setting", "Revision"),
             env.dir() + " 1.0 18");
}

// The menu keeps its caption however many task windows come and go.
void TestMenu::captionAfterTaskWindows()
{
    TestEnv env;
    env.makeDir("data");
    env.writeBytes("number.sdf", textLines({"1", "7"}));
    env.writeBytes("data/000007.ibd", textLines({"7", "A"}));
    env.writeBytes("pages.udf", textLines({"1", "000007 A"}));
    env.writeBytes("url.dat", textLines({"http://127.0.0.1:1/", ""}));
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    for (Form_Menu::Task task : {Form_Menu::Task::Show, Form_Menu::Task::ShowPage, Form_Menu::Task::Show}) {
        QVERIFY(openTask(menu, task));
        find<QAction>(menu.taskWindow(task), "Menu_End")->trigger();
        QVERIFY(menu.isVisible());
        QCOMPARE(menu.windowTitle(), kCaption);
    }
    click(menu.Command1);
    menu.setting()->close();
    QCOMPARE(menu.windowTitle(), kCaption);
}

// The settings window's keys: the box, its OK, then the proxy.
void TestMenu::tabWalk()
{
    TestEnv env;
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    click(menu.Command1);
    Form_Setting *setting = menu.setting();
    setting->txt_URL->setFocus();
    for (QWidget *next :
         {static_cast<QWidget *>(find(setting, "cmd_OK")), static_cast<QWidget *>(setting->txt_Proxy)}) {
        QTest::keyClick(setting->focusWidget(), Qt::Key_Tab);
        QCOMPARE(setting->focusWidget(), next);
    }
}

// Table rows are laid out by hand.
// clang-format off
void TestMenu::saveSettings_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<Leave>("leave");
    QTest::addColumn<QByteArray>("file"); // url.dat afterwards
    QTest::addColumn<QString>("messages");
    QTest::addColumn<bool>("staysOpen");
    const QByteArray old = textLines({"old", "old"});
    QTest::newRow("plain") << "http://e.example/d/" << "p.example:8080" << Leave(pressOK)
                           << textLines({"http://e.example/d/", "p.example:8080"}) << "" << false;
    QTest::newRow("empty URL, the frame closed") << "" << "p:1" << Leave(closeItsFrame) << textLines({"", "p:1"}) << "" << false;
    QTest::newRow("a comma quoted") << "http://a/?x=1,2" << "" << Leave(pressOK) << textLines({"\"http://a/?x=1,2\"", ""}) << "" << false;
    QTest::newRow("a blank at the end quoted") << "http://a/ " << "" << Leave(pressOK) << textLines({"\"http://a/ \"", ""}) << "" << false;
    QTest::newRow("refused: begins with a quote") << "\"http://a/" << "" << Leave(pressOK) << old
        << "ダブルクォーテーション（\"）で始まる値、または\"とカンマや前後の空白を両方含む値は保存できません。値を直してください。"
        << true;
    QTest::newRow("refused: not in the code page") << "http://a/€" << "" << Leave(pressOK) << old
        << "Shift-JIS で書けない文字を含む値は保存できません。値を直してください。" << true;
    QTest::newRow("refused: a proxy not in the code page") << "http://a/" << "p€:1" << Leave(pressOK) << old
        << "Shift-JIS で書けない文字を含む値は保存できません。値を直してください。" << true;
    QTest::newRow("read-only directory") << "http://new/" << "" << Leave(pressOKInAReadOnlyDirectory) << old
        << "ファイルを保存できませんでした。 ~/url.dat" << false;
}
// clang-format on

void TestMenu::saveSettings()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    QFETCH(Leave, leave);
    QFETCH(QByteArray, file);
    QFETCH(QString, messages);
    QFETCH(bool, staysOpen);
    TestEnv env;
    env.writeBytes("url.dat", textLines({"old", "old"}));
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    click(menu.Command1);
    Form_Setting *setting = menu.setting();
    setting->txt_URL->setText(url);
    setting->txt_Proxy->setText(proxy);
    leave(setting, env);
    QCOMPARE(GuiTest::messages(env.dir()), messages);
    QCOMPARE(env.readBytes("url.dat"), file);
    QCOMPARE(setting->isVisible(), staysOpen);
    QCOMPARE(menu.isVisible(), !staysOpen);
}

// Table rows are laid out by hand.
// clang-format off
void TestMenu::build_data()
{
    QTest::addColumn<QByteArray>("allInfo"); // null: no file
    QTest::addColumn<QByteArray>("update");
    QTest::addColumn<Obstacle>("inTheWay");
    QTest::addColumn<QString>("messages");
    QTest::addColumn<QString>("shown");
    const auto none = [](const TestEnv &) { return nullptr; };
    const QByteArray allInfo = textLines({"2000/05/20", "0", "0", "0", "0", "0,Top", "<END>", "<END>", "1,T,S,L", "<END>", "<END>"});
    const QByteArray update = textLines({"2000/05/21"});

    QTest::newRow("built") << allInfo << update << Obstacle(none) << "" << "the window, enabled: 終了";
    QTest::newRow("all-info.idf missing") << QByteArray() << update << Obstacle(none)
        << "ファイルが存在しません。ファイルを確かめてください。 / 存在しないファイルは、 ~/all-info.idfです。" << "the menu";
    QTest::newRow("update.idf missing") << allInfo << QByteArray() << Obstacle(none)
        << "ファイルが存在しません。ファイルを確かめてください。 / 存在しないファイルは、 ~/update.idfです。" << "the menu";
    QTest::newRow("a site count past its records") << textLines({"2000/05/20", "0", "0", "x"}) << update << Obstacle(none)
        << "その他のエラーです。 エラー番号：62" << "the window, enabled: nothing";
    QTest::newRow("settings that cannot be written") << allInfo << update << Obstacle([](const TestEnv &) {
        QFile::remove(SettingsStore::location());
        QDir().mkpath(SettingsStore::location());
        return nullptr;
    }) << "設定を保存できませんでした。ファイルを確かめてください。 SETTINGS" << "the window, enabled: nothing";
}
// clang-format on

// What the build window tells the user and where it leaves them.
void TestMenu::build()
{
    QFETCH(QByteArray, allInfo);
    QFETCH(QByteArray, update);
    QFETCH(Obstacle, inTheWay);
    QFETCH(QString, messages);
    QFETCH(QString, shown);
    TestEnv env;
    // Start-up enables the build button only when both inputs open.
    env.writeBytes("all-info.idf", "x");
    env.writeBytes("update.idf", "x");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QFile::remove(env.path("all-info.idf"));
    QFile::remove(env.path("update.idf"));
    if (!allInfo.isNull())
        env.writeBytes("all-info.idf", allInfo);
    if (!update.isNull())
        env.writeBytes("update.idf", update);
    const std::shared_ptr<ReadOnlyDir> readOnly = inTheWay(env);
    QVERIFY(openTask(menu, Form_Menu::Task::SetFile));
    QCOMPARE(GuiTest::messages(env.dir()).replace(SettingsStore::location(), "SETTINGS"), messages);
    QCOMPARE(::shown(menu, Form_Menu::Task::SetFile), shown);
}

// The download window shows the run's log and date range, and hands url.dat's proxy to the transfer.
void TestMenu::download()
{
    TestEnv env;
    env.makeDir("data");
    WebServer web;
    ForwardProxy proxy;
    for (const QString &why : {web.start(), proxy.start()})
        QVERIFY2(why.isEmpty(), qPrintable(why));
    web.writeFile("20000520.html", sjis(StatusPages::page({StatusPages::site(StatusPages::kBlue, 7)})));
    env.writeBytes("url.dat", textLines({web.url(), QStringLiteral("127.0.0.1:%1").arg(proxy.port())}));
    SettingsStore::save("Date", "Update", "2000/05/20");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QVERIFY(openTask(menu, Form_Menu::Task::Update));
    QWidget *window = menu.taskWindow(Form_Menu::Task::Update);
    QCOMPARE(find<QPlainTextEdit>(window, "txt_Condition")->toPlainText(), "000007 終了\n2000/05/20 終了\n完了\n");
    QCOMPARE(find<QLabel>(window, "lab_Update")->text(), "2000/05/20 ->2000/05/21");
    QVERIFY2(proxy.log().contains("GET " + web.url() + "20000520.html"), qPrintable(proxy.log()));
    QCOMPARE(::shown(menu, Form_Menu::Task::Update), "the window, enabled: 確認");
    click(find(window, "cmd_OK"));
    QTRY_VERIFY(menu.isVisible());
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
