#include "app/form_menu.h"
#include "app/taskwindow.h"
#include "platform/messagebox.h"
#include "platform/programdir.h"
#include "remote/form_setting.h"
#include "testenv.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A task window that can return to the menu inside its own activation.
class ProbeWindow : public TaskWindow
{
public:
    explicit ProbeWindow(QWidget *menu, bool returnAtOnce)
        : TaskWindow(menu)
        , m_returnAtOnce(returnAtOnce)
    {
        makeClientArea(1500, 1500);
    }
    int activations = 0;
    int frameCloses = 0;
    void back() { returnToMenu(); }

protected:
    void Form_Activate() override
    {
        ++activations;
        if (m_returnAtOnce)
            returnToMenu();
    }
    void closeFromFrame() override
    {
        ++frameCloses;
        returnToMenu();
    }

private:
    bool m_returnAtOnce;
};

QPushButton *button(QWidget *window, const char *name)
{
    auto *b = window->findChild<QPushButton *>(QLatin1String(name));
    if (!b)
        qFatal("no button %s", name);
    return b;
}

} // namespace

class TestMenu : public QObject
{
    Q_OBJECT

private slots:
    void appDir_data();
    void appDir();
    void availability_data();
    void availability();
    void captionAndSettings();
    void layoutAndTabOrder();
    void navigation();
    void earlyReturn();
    void endingRunsNoOtherHandler();
    void saveSettings_data();
    void saveSettings();
    void refusedValue_data();
    void refusedValue();
    void saveInReadOnlyDirectory();
    void settingsFrameCloseSaves();
};

void TestMenu::appDir_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive root") << "C:/" << "C:";
    QTest::newRow("drive root, native") << "C:\\" << "C:";
    QTest::newRow("directory") << "C:/Tools/App" << "C:/Tools/App";
    QTest::newRow("unix root") << "/" << "";
    QTest::newRow("unix directory") << "/opt/vellumark" << "/opt/vellumark";
}

void TestMenu::appDir()
{
    QFETCH(QString, reported);
    QFETCH(QString, expected);
    if (reported.contains(QLatin1Char('\\')) && QDir::separator() != QLatin1Char('\\'))
        QSKIP("native separators are the platform's own");
    QCOMPARE(ProgramDir::derive(reported), expected);
}

void TestMenu::availability_data()
{
    QTest::addColumn<QByteArray>("urlDat"); // "-" for no file
    QTest::addColumn<bool>("dataDir");
    QTest::addColumn<bool>("allInfo");
    QTest::addColumn<bool>("update");
    QTest::addColumn<QString>("enabled"); // SetFile Show ShowPage Command1 Update, as 1/0
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("proxy");

    QTest::newRow("empty directory") << QByteArray("-") << false << false << false << "10000" << "" << "";
    QTest::newRow("everything") << QByteArray("http://a/\r\nproxy:8080\r\n") << true << true << true << "11111"
                                << "http://a/" << "proxy:8080";
    QTest::newRow("URL and empty proxy") << QByteArray("http://a/\r\n\r\n") << true << true << true << "11111"
                                         << "http://a/" << "";
    QTest::newRow("single line") << QByteArray("http://a/\r\n") << true << false << false << "11100"
                                 << "http://a/" << "";
    QTest::newRow("empty url.dat") << QByteArray("") << false << true << true << "10000" << "" << "";
    QTest::newRow("index file missing") << QByteArray("u\r\np\r\n") << true << true << false << "01111" << "u"
                                        << "p";
    QTest::newRow("no data directory") << QByteArray("u\r\np\r\n") << false << true << true << "10011" << "u" << "p";
    QTest::newRow("url.dat failed, index missing") << QByteArray("-") << true << false << false << "11100" << ""
                                                   << "";
}

void TestMenu::availability()
{
    QFETCH(QByteArray, urlDat);
    QFETCH(bool, dataDir);
    QFETCH(bool, allInfo);
    QFETCH(bool, update);
    QFETCH(QString, enabled);
    QFETCH(QString, url);
    QFETCH(QString, proxy);

    TestEnv env;
    if (urlDat != "-")
        env.writeBytes(QStringLiteral("url.dat"), urlDat);
    if (dataDir)
        env.makeDir(QStringLiteral("data"));
    if (allInfo)
        env.writeBytes(QStringLiteral("all-info.idf"), "x\r\n");
    if (update)
        env.writeBytes(QStringLiteral("update.idf"), "x\r\n");

    Form_Menu menu;
    menu.Form_Load();
    QString actual;
    for (const char *name : {"cmd_SetFile", "Cmd_Show", "cmd_ShowPage", "Command1", "cmd_Update"})
        actual += button(&menu, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(actual, enabled);
    QVERIFY(menu.Menu_End->isEnabled());
    QCOMPARE(menu.setting()->txt_URL->text(), url);
    QCOMPARE(menu.setting()->txt_Proxy->text(), proxy);
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
}

void TestMenu::captionAndSettings()
{
    TestEnv env;
    Form_Menu menu;
    menu.Form_Load();
    QCOMPARE(menu.windowTitle(), QStringLiteral("Vellumark( Ver.1.0 Rev:18)"));
    QCOMPARE(AppDir(), env.dir());
    QCOMPARE(env.setting("Setting", "Directory"), env.dir());
    QCOMPARE(env.setting("Setting", "Version"), QStringLiteral("1.0"));
    QCOMPARE(env.setting("Setting", "Revision"), QStringLiteral("18"));

    // Shown again after each visit, the menu does nothing more.
    auto *probe = new ProbeWindow(&menu, false);
    menu.setTaskWindow(Form_Menu::Task::SetFile, probe);
    menu.show();
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(button(&menu, "cmd_SetFile"), Qt::LeftButton);
        QTRY_COMPARE(probe->activations, i + 1);
        probe->back();
    }
    QCOMPARE(menu.windowTitle(), QStringLiteral("Vellumark( Ver.1.0 Rev:18)"));
}

void TestMenu::layoutAndTabOrder()
{
    TestEnv env;
    Form_Menu menu;
    menu.Form_Load();
    QCOMPARE(menu.centralWidget()->size(), QSize(293, 175));
    QCOMPARE(button(&menu, "cmd_SetFile")->geometry(), QRect(40, 24, 97, 33));
    QCOMPARE(button(&menu, "cmd_Update")->geometry(), QRect(80, 120, 137, 33));
    QCOMPARE(button(&menu, "Command1")->text(), QStringLiteral("データＵＲＬ変更"));

    const char *order[] = {"cmd_SetFile", "Cmd_Show", "cmd_ShowPage", "Command1", "cmd_Update"};
    for (int i = 0; i + 1 < 5; ++i)
        QCOMPARE(button(&menu, order[i])->nextInFocusChain(), button(&menu, order[i + 1]));

    Form_Setting *setting = menu.setting();
    auto *ok = setting->findChild<QPushButton *>(QStringLiteral("cmd_OK"));
    QCOMPARE(setting->txt_URL->nextInFocusChain(), ok);
    QCOMPARE(ok->nextInFocusChain(), setting->txt_Proxy);
    QCOMPARE(setting->windowTitle(), QStringLiteral("設定"));

    // Assistive technology names a box by the caption beside it.
    QCOMPARE(QAccessible::queryAccessibleInterface(setting->txt_URL)->text(QAccessible::Name),
             QStringLiteral("データのURL"));
    QCOMPARE(QAccessible::queryAccessibleInterface(setting->txt_Proxy)->text(QAccessible::Name),
             QStringLiteral("PROXY"));
    QCOMPARE(QAccessible::queryAccessibleInterface(ok)->text(QAccessible::Name), QStringLiteral("ＯＫ"));
}

void TestMenu::navigation()
{
    TestEnv env;
    env.writeBytes(QStringLiteral("url.dat"), "u\r\np\r\n");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QTest::mouseClick(button(&menu, "Command1"), Qt::LeftButton);
    QVERIFY(menu.setting()->isVisible());
    QVERIFY(!menu.isVisible());
}

void TestMenu::earlyReturn()
{
    TestEnv env;
    env.makeDir(QStringLiteral("data"));
    Form_Menu menu;
    menu.Form_Load();
    auto *probe = new ProbeWindow(&menu, true);
    menu.setTaskWindow(Form_Menu::Task::ShowPage, probe);
    menu.show();
    QTest::mouseClick(button(&menu, "cmd_ShowPage"), Qt::LeftButton);
    QTRY_COMPARE(probe->activations, 1);
    QVERIFY(menu.isVisible());
    QVERIFY(!probe->isVisible());
}

void TestMenu::endingRunsNoOtherHandler()
{
    TestEnv env;
    auto *menu = new Form_Menu;
    menu->Form_Load();
    auto *probe = new ProbeWindow(menu, false);
    menu->setTaskWindow(Form_Menu::Task::Show, probe);
    menu->show();
    probe->show();
    QTimer guard; // ends a run that the menu failed to end
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    QTimer::singleShot(0, menu->Menu_End, &QAction::trigger);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(probe->frameCloses, 0);

    // Closing the menu ends the program the same way.
    guard.start(5000);
    QTimer::singleShot(0, menu, &QWidget::close);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(probe->frameCloses, 0);
    QVERIFY(probe->isVisible());
    delete menu;
}

void TestMenu::saveSettings_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("plain") << "http://example.com/daily/" << "proxy.example:8080"
                           << QByteArray("http://example.com/daily/\r\nproxy.example:8080\r\n");
    QTest::newRow("empty proxy") << "http://example.com/" << "" << QByteArray("http://example.com/\r\n\r\n");
    QTest::newRow("empty URL") << "" << "p:1" << QByteArray("\r\np:1\r\n");
    QTest::newRow("comma is quoted") << "http://a/?x=1,2" << "" << QByteArray("\"http://a/?x=1,2\"\r\n\r\n");
    QTest::newRow("edge blanks are quoted") << " http://a/ " << "" << QByteArray("\" http://a/ \"\r\n\r\n");
    QTest::newRow("inner quote plain") << "http://a/\"b" << "" << QByteArray("http://a/\"b\r\n\r\n");
    QTest::newRow("Japanese") << "http://例え.jp/" << "" << QByteArray("http://\x97\xe1\x82\xa6.jp/\r\n\r\n");
}

void TestMenu::saveSettings()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    QFETCH(QByteArray, file);
    TestEnv env;
    env.writeBytes(QStringLiteral("url.dat"), "old\r\nold\r\n");
    {
        Form_Menu menu;
        menu.Form_Load();
        menu.show();
        QTest::mouseClick(button(&menu, "Command1"), Qt::LeftButton);
        menu.setting()->txt_URL->setText(url);
        menu.setting()->txt_Proxy->setText(proxy);
        QTest::mouseClick(menu.setting()->findChild<QPushButton *>(QStringLiteral("cmd_OK")), Qt::LeftButton);
        QVERIFY(menu.isVisible());
        QVERIFY(!menu.setting()->isVisible());
        QCOMPARE(env.readBytes(QStringLiteral("url.dat")), file);
    }
    // The next start reads the same values back.
    Form_Menu next;
    next.Form_Load();
    QCOMPARE(next.setting()->txt_URL->text(), url);
    QCOMPARE(next.setting()->txt_Proxy->text(), proxy);
    QVERIFY(next.findChild<QPushButton *>(QStringLiteral("cmd_Update"))->isEnabled());
}

void TestMenu::refusedValue_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("proxy");
    QTest::newRow("URL begins with a quote") << "\"http://a/" << "";
    QTest::newRow("proxy with comma and quote") << "http://a/" << "a\",b";
    QTest::newRow("leading blank and quote") << " \"x" << "";
}

void TestMenu::refusedValue()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    TestEnv env;
    env.writeBytes(QStringLiteral("url.dat"), "old\r\nold\r\n");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QTest::mouseClick(button(&menu, "Command1"), Qt::LeftButton);
    menu.setting()->txt_URL->setText(url);
    menu.setting()->txt_Proxy->setText(proxy);
    QTest::mouseClick(menu.setting()->findChild<QPushButton *>(QStringLiteral("cmd_OK")), Qt::LeftButton);
    QCOMPARE(MessageBox::takeRecorded().size(), 1);
    QVERIFY(menu.setting()->isVisible());
    QVERIFY(!menu.isVisible());
    QCOMPARE(env.readBytes(QStringLiteral("url.dat")), QByteArray("old\r\nold\r\n"));
}

void TestMenu::saveInReadOnlyDirectory()
{
    TestEnv env;
    env.writeBytes(QStringLiteral("url.dat"), "old\r\nold\r\n");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QTest::mouseClick(button(&menu, "Command1"), Qt::LeftButton);
    menu.setting()->txt_URL->setText(QStringLiteral("http://new/"));
    {
        ReadOnlyDir readOnly(env.dir());
        QTest::mouseClick(menu.setting()->findChild<QPushButton *>(QStringLiteral("cmd_OK")), Qt::LeftButton);
    }
    const QStringList shown = MessageBox::takeRecorded();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(QStringLiteral("url.dat")), qPrintable(shown.first()));
    QCOMPARE(env.readBytes(QStringLiteral("url.dat")), QByteArray("old\r\nold\r\n"));
    QCOMPARE(menu.setting()->txt_URL->text(), QStringLiteral("http://new/"));
    QVERIFY(menu.isVisible());
}

void TestMenu::settingsFrameCloseSaves()
{
    TestEnv env;
    env.writeBytes(QStringLiteral("url.dat"), "old\r\nold\r\n");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QTest::mouseClick(button(&menu, "Command1"), Qt::LeftButton);
    menu.setting()->txt_Proxy->setText(QStringLiteral("p:3128"));
    menu.setting()->close();
    QVERIFY(menu.isVisible());
    QVERIFY(!menu.setting()->isVisible());
    QCOMPARE(env.readBytes(QStringLiteral("url.dat")), QByteArray("old\r\np:3128\r\n"));
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
