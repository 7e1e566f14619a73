#include "app/form_menu.h"
#include "platform/messagebox.h"
#include "platform/programdir.h"
#include "remote/form_setting.h"
#include "testenv.h"
#include "ui/taskwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A task window that may return to the menu inside its own activation.
class ProbeWindow : public TaskWindow
{
public:
    ProbeWindow(QWidget *menu, bool returnAtOnce)
        : TaskWindow(menu)
        , m_returnAtOnce(returnAtOnce)
    {
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
    void closeFromFrame() override { ++frameCloses; }

private:
    bool m_returnAtOnce;
};

QPushButton *button(QWidget *window, const char *name)
{
    return window->findChild<QPushButton *>(QLatin1String(name));
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
    void hub();
    void tabOrderAndNames();
    void endingRunsNoOtherHandler();
    void saveSettings_data();
    void saveSettings();
};

void TestMenu::appDir_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive root") << "C:/" << "C:";
    QTest::newRow("directory") << "C:/Tools/App" << "C:/Tools/App";
    QTest::newRow("unix root") << "/" << "";
}

void TestMenu::appDir()
{
    QFETCH(QString, reported);
    QFETCH(QString, expected);
    QCOMPARE(ProgramDir::derive(reported), expected);
}

void TestMenu::availability_data()
{
    QTest::addColumn<QByteArray>("urlDat"); // "-" for no file
    QTest::addColumn<QString>("present");   // d: data directory, a: all-info.idf, u: update.idf, m: an
                                            // all-info.idf that opens but cannot be read
    QTest::addColumn<QString>("enabled");   // SetFile Show ShowPage Command1 Update
    QTest::addColumn<QString>("boxes");     // URL|proxy as loaded

    QTest::newRow("empty directory") << QByteArray("-") << "" << "10000" << "|";
    QTest::newRow("everything") << QByteArray("http://a/\r\np:8080\r\n") << "dau" << "11111" << "http://a/|p:8080";
    QTest::newRow("URL and empty proxy") << QByteArray("http://a/\r\n\r\n") << "dau" << "11111" << "http://a/|";
    QTest::newRow("single line") << QByteArray("http://a/\r\n") << "d" << "11100" << "http://a/|";
    QTest::newRow("empty url.dat") << QByteArray("") << "au" << "10000" << "|";
    QTest::newRow("index file missing") << QByteArray("u\r\np\r\n") << "da" << "01111" << "u|p";
    QTest::newRow("no data directory") << QByteArray("u\r\np\r\n") << "au" << "10011" << "u|p";
    QTest::newRow("index file opened, not read") << QByteArray("u\r\np\r\n") << "mu" << "10011" << "u|p";
    QTest::newRow("URL longer than 32767") << QByteArray(40000, 'h') + "\r\np\r\n" << "" << "00011"
                                           << QString(40000, 'h') + "|p";
}

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
    if (present.contains('m') && !QFile::link("/proc/self/mem", env.path("all-info.idf")))
        QSKIP("no /proc/self/mem");

    Form_Menu menu;
    menu.Form_Load();
    QString actual;
    for (const char *name : {"cmd_SetFile", "Cmd_Show", "cmd_ShowPage", "Command1", "cmd_Update"})
        actual += button(&menu, name)->isEnabled() ? '1' : '0';
    QCOMPARE(actual, enabled);
    QCOMPARE(menu.setting()->txt_URL->text() + '|' + menu.setting()->txt_Proxy->text(), boxes);
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
}

void TestMenu::hub()
{
    TestEnv env;
    env.makeDir("data");
    Form_Menu menu;
    menu.Form_Load();
    QCOMPARE(AppDir(), env.dir());
    QCOMPARE(env.setting("Setting", "Directory") + ' ' + env.setting("Setting", "Version") + ' '
                 + env.setting("Setting", "Revision"),
             env.dir() + " 1.0 18");

    auto *visit = new ProbeWindow(&menu, false);
    auto *early = new ProbeWindow(&menu, true);
    menu.setTaskWindow(Form_Menu::Task::SetFile, visit);
    menu.setTaskWindow(Form_Menu::Task::ShowPage, early);
    menu.show();
    const QPoint where = menu.pos() + QPoint(37, 23);
    menu.move(where);
    for (int i = 1; i <= 3; ++i) {
        QTest::mouseClick(button(&menu, "cmd_SetFile"), Qt::LeftButton);
        QVERIFY(visit->isVisible() && !menu.isVisible());
        QTRY_COMPARE(visit->activations, i);
        visit->back();
        QVERIFY(menu.isVisible() && !visit->isVisible());
        QCOMPARE(menu.pos(), where); // it comes back where it was
    }
    // The caption grows once, however often the menu is shown again.
    QCOMPARE(menu.windowTitle(), QStringLiteral("Vellumark( Ver.1.0 Rev:18)"));

    // A window that returns during its own activation leaves the menu visible.
    QTest::mouseClick(button(&menu, "cmd_ShowPage"), Qt::LeftButton);
    QTRY_COMPARE(early->activations, 1);
    QVERIFY(menu.isVisible() && !early->isVisible());
}

void TestMenu::tabOrderAndNames()
{
    TestEnv env;
    Form_Menu menu;
    menu.Form_Load();
    const char *order[] = {"cmd_SetFile", "Cmd_Show", "cmd_ShowPage", "Command1", "cmd_Update"};
    for (int i = 0; i + 1 < 5; ++i)
        QCOMPARE(button(&menu, order[i])->nextInFocusChain(), button(&menu, order[i + 1]));

    Form_Setting *setting = menu.setting();
    QPushButton *ok = button(setting, "cmd_OK");
    QCOMPARE(setting->txt_URL->nextInFocusChain(), ok);
    QCOMPARE(ok->nextInFocusChain(), setting->txt_Proxy);
    // Assistive technology names a box by the caption beside it.
    auto name = [](QObject *o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); };
    QCOMPARE(name(setting->txt_URL), QStringLiteral("データのURL"));
    QCOMPARE(name(setting->txt_Proxy), QStringLiteral("PROXY"));
    QCOMPARE(name(ok), QStringLiteral("ＯＫ"));

    // A style that puts icons on standard buttons, as some desktops do: the message box still has none.
    struct IconStyle : QProxyStyle {
        int styleHint(StyleHint hint, const QStyleOption *o, const QWidget *w, QStyleHintReturn *r) const override
        {
            return hint == SH_DialogButtonBox_ButtonsHaveIcons || QProxyStyle::styleHint(hint, o, w, r);
        }
    };
    const QString style = QApplication::style()->name();
    QApplication::setStyle(new IconStyle);
    const auto box = MessageBox::build(&menu, QStringLiteral("x"));
    QVERIFY(box->icon() == QMessageBox::NoIcon && box->button(QMessageBox::Ok)->icon().isNull());
    QApplication::setStyle(style);
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

    // quit() would close every window and run its handler; ending must not.
    guard.start(5000);
    QTimer::singleShot(0, menu->Menu_End, &QAction::trigger);
    QCOMPARE(QCoreApplication::exec(), 0);
    guard.start(5000);
    QTimer::singleShot(0, menu, &QWidget::close);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(probe->frameCloses, 0);
    delete menu;
}

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
    QTest::newRow("empty proxy") << "http://e/" << "" << "ok" << QByteArray("http://e/\r\n\r\n") << 0;
    QTest::newRow("empty URL") << "" << "p:1" << "frame" << QByteArray("\r\np:1\r\n") << 0;
    QTest::newRow("comma is quoted") << "http://a/?x=1,2" << "" << "ok" << QByteArray("\"http://a/?x=1,2\"\r\n\r\n") << 0;
    QTest::newRow("edge blanks quoted") << " http://a/ " << "" << "ok" << QByteArray("\" http://a/ \"\r\n\r\n") << 0;
    QTest::newRow("inner quote plain") << "http://a/\"b" << "" << "ok" << QByteArray("http://a/\"b\r\n\r\n") << 0;
    QTest::newRow("Japanese") << "http://例え.jp/" << "" << "ok" << QByteArray("http://\x97\xe1\x82\xa6.jp/\r\n\r\n") << 0;
    QTest::newRow("refused: begins with a quote") << "\"http://a/" << "" << "ok" << old << 1;
    QTest::newRow("refused: not in the code page") << "http://a/€" << "" << "ok" << old << 1;
    QTest::newRow("refused: comma and quote") << "http://a/" << "a\",b" << "ok" << old << 1;
    QTest::newRow("read-only directory") << "http://new/" << "" << "readonly" << old << 1;
}

void TestMenu::saveSettings()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    QFETCH(QString, how);
    QFETCH(QByteArray, file);
    QFETCH(int, messages);
    TestEnv env;
    env.writeBytes("url.dat", "old\r\nold\r\n");
    {
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
            std::unique_ptr<ReadOnlyDir> readOnly;
            if (how == "readonly")
                readOnly = std::make_unique<ReadOnlyDir>(env.dir());
            QTest::mouseClick(button(setting, "cmd_OK"), Qt::LeftButton);
        }
        const QStringList shown = MessageBox::takeRecorded();
        QCOMPARE(shown.size(), messages);
        QCOMPARE(env.readBytes("url.dat"), file);
        const bool refused = messages == 1 && how != "readonly";
        QCOMPARE(setting->isVisible(), refused);
        QCOMPARE(menu.isVisible(), !refused);
        if (how == "readonly") {
            QVERIFY2(shown.first().contains("url.dat"), qPrintable(shown.first()));
            QCOMPARE(setting->txt_URL->text(), url); // still the live value for the download
        }
        if (messages)
            return;
    }
    // The next start reads the same values back.
    Form_Menu next;
    next.Form_Load();
    QCOMPARE(next.setting()->txt_URL->text(), url);
    QCOMPARE(next.setting()->txt_Proxy->text(), proxy);
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
