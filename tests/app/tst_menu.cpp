#include "gui/menu/form_menu.h"
#include "gui/kit/messagebox.h"
#include "gui/remote/form_setting.h"
#include "testenv.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

namespace {

QPushButton *button(QWidget *window, const char *name)
{
    return window->findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

class TestMenu : public QObject
{
    Q_OBJECT

private slots:
    void availability_data();
    void availability();
    void tabWalk();
    void saveSettings_data();
    void saveSettings();
};

// Table rows are laid out by hand.
// clang-format off
void TestMenu::availability_data()
{
    QTest::addColumn<QByteArray>("urlDat"); // "-" for no file
    QTest::addColumn<QString>("present");   // d: data directory, a: all-info.idf, u: update.idf
    QTest::addColumn<QString>("enabled");   // SetFile Show ShowPage Command1 Update
    QTest::addColumn<QString>("boxes");     // URL|proxy as loaded

    QTest::newRow("empty directory") << QByteArray("-") << "" << "10000" << "|";
    QTest::newRow("everything") << QByteArray("http://a/\r\np:8080\r\n") << "dau" << "11111" << "http://a/|p:8080";
    QTest::newRow("index file missing") << QByteArray("u\r\np\r\n") << "da" << "01111" << "u|p";
    QTest::newRow("no data directory") << QByteArray("u\r\np\r\n") << "au" << "10011" << "u|p";
}
// clang-format on

void TestMenu::availability()
{
    QFETCH(QByteArray, urlDat);
    QFETCH(QString, present);
    QFETCH(QString, enabled);
    QFETCH(QString, boxes);
    TestEnv env;
    if (urlDat != "-")
        env.writeBytes("url.dat", urlDat);
    if (present.contains('d'))
        env.makeDir("data");
    if (present.contains('a'))
        env.writeBytes("all-info.idf", "x\r\n");
    if (present.contains('u'))
        env.writeBytes("update.idf", "x\r\n");

    Form_Menu menu;
    menu.Form_Load();
    QString actual;
    for (const char *name : {"cmd_SetFile", "Cmd_Show", "cmd_ShowPage", "Command1", "cmd_Update"})
        actual += button(&menu, name)->isEnabled() ? '1' : '0';
    QCOMPARE(actual, enabled);
    QCOMPARE(menu.setting()->txt_URL->text() + '|' + menu.setting()->txt_Proxy->text(), boxes);
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
    menu.show();
    QCOMPARE(menu.windowTitle(), QStringLiteral("Vellumark( Ver.1.0 Rev:18)"));
}

// The settings window's keys: the box, its OK, then the proxy.
void TestMenu::tabWalk()
{
    TestEnv env;
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QTest::mouseClick(button(&menu, "Command1"), Qt::LeftButton);
    Form_Setting *setting = menu.setting();
    setting->txt_URL->setFocus();
    for (QWidget *next :
         {static_cast<QWidget *>(button(setting, "cmd_OK")), static_cast<QWidget *>(setting->txt_Proxy)}) {
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
    QTest::addColumn<QString>("how");       // ok, frame (the close control) or readonly
    QTest::addColumn<QByteArray>("file");   // url.dat afterwards
    QTest::addColumn<int>("messages");
    const QByteArray old("old\r\nold\r\n");
    QTest::newRow("plain") << "http://e.example/d/" << "p.example:8080" << "ok"
                           << QByteArray("http://e.example/d/\r\np.example:8080\r\n") << 0;
    QTest::newRow("empty URL") << "" << "p:1" << "frame" << QByteArray("\r\np:1\r\n") << 0;
    QTest::newRow("comma is quoted") << "http://a/?x=1,2" << "" << "ok" << QByteArray("\"http://a/?x=1,2\"\r\n\r\n") << 0;
    QTest::newRow("a blank at the end quoted") << "http://a/ " << "" << "ok" << QByteArray("\"http://a/ \"\r\n\r\n") << 0;
    QTest::newRow("refused: begins with a quote") << "\"http://a/" << "" << "ok" << old << 1;
    QTest::newRow("refused: not in the code page") << "http://a/€" << "" << "ok" << old << 1;
    QTest::newRow("read-only directory") << "http://new/" << "" << "readonly" << old << 1;
}
// clang-format on

void TestMenu::saveSettings()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    QFETCH(QString, how);
    QFETCH(QByteArray, file);
    QFETCH(int, messages);
    TestEnv env;
    env.writeBytes("url.dat", "old\r\nold\r\n");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QTest::mouseClick(button(&menu, "Command1"), Qt::LeftButton);
    Form_Setting *setting = menu.setting();
    setting->txt_URL->setText(url);
    setting->txt_Proxy->setText(proxy);
    if (how == "frame") {
        setting->close();
    } else {
        std::optional<ReadOnlyDir> readOnly;
        if (how == "readonly")
            readOnly.emplace(env.dir());
        QTest::mouseClick(button(setting, "cmd_OK"), Qt::LeftButton);
    }
    QCOMPARE(MessageBox::takeRecorded().size(), messages);
    QCOMPARE(env.readBytes("url.dat"), file);
    // A refused value keeps the window open; a file that cannot be written does not.
    const bool refused = messages == 1 && how != "readonly";
    QCOMPARE(setting->isVisible(), refused);
    QCOMPARE(menu.isVisible(), !refused);
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
