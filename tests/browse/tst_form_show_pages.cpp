#include "app/form_menu.h"
#include "browse/form_show_pages.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "remote/form_setting.h"
#include "testenv.h"
#include "../remote/servers.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

template <typename T>
T *child(QWidget *window, const char *name)
{
    auto *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// The method indicators as "checked/enabled" per option: "1e 2- 3- 4-" means
// Option1 checked and enabled, the others neither.
QString indicators(QWidget *window)
{
    QStringList parts;
    for (const char *name : {"Option1", "Option2", "Option3", "Option4"}) {
        auto *option = child<QRadioButton>(window, name);
        QString state = QString(QLatin1Char(name[6]));
        if (option->isChecked())
            state += option->isEnabled() ? QStringLiteral("e") : QStringLiteral("c");
        else
            state += option->isEnabled() ? QStringLiteral("+") : QStringLiteral("-");
        parts << state;
    }
    return parts.join(QLatin1Char(' '));
}

// A site's files: .ibd with a title, .iud with the given fields ("-" for no file).
void writeSite(const TestEnv &env, int number, const QString &title, const QString &iud)
{
    const QString name = QStringLiteral("data/%1").arg(number, 6, 10, QLatin1Char('0'));
    env.writeText(name + QStringLiteral(".ibd"), QStringLiteral(" %1 ").arg(number) + kCrLf + title + kCrLf
                                                     + QStringLiteral("説明") + kCrLf + QStringLiteral("http://x/")
                                                     + kCrLf + QStringLiteral("トップ -> 音楽") + kCrLf);
    if (iud != QStringLiteral("-"))
        env.writeText(name + QStringLiteral(".iud"), iud);
}

QString iud(const QString &code)
{
    return QStringLiteral("#2000/05/18 21:04:33#\r\n#2000/05/20#\r\n") + code + kCrLf;
}

struct Shown
{
    QString number, title, lastModified, checkDate, marks;
};

} // namespace

class TestFormShowPages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void emptyList_data();
    void emptyList();
    void pagingAndCodes_data();
    void pagingAndCodes();
    void reopenAfterTheEnd();
    void indicatorsKeepAcrossVisits();
    void layout();
    void endToEnd();

private:
    // Opens the window from the menu and waits for its activation.
    void open();
    Shown shown() const;

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<Form_Menu> m_menu;
    Form_Show_Pages *m_window = nullptr;
};

void TestFormShowPages::init()
{
    m_env = std::make_unique<TestEnv>();
    m_env->makeDir(QStringLiteral("data"));
}

void TestFormShowPages::cleanup()
{
    m_menu.reset();
    m_window = nullptr;
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
    m_env.reset();
}

void TestFormShowPages::open()
{
    if (!m_menu) {
        m_menu = std::make_unique<Form_Menu>();
        m_menu->Form_Load();
        m_menu->show();
        m_window = static_cast<Form_Show_Pages *>(m_menu->taskWindow(Form_Menu::Task::ShowPage));
    }
    QSignalSpy done(m_window, &TaskWindow::activationDone);
    QTest::mouseClick(child<QPushButton>(m_menu.get(), "cmd_ShowPage"), Qt::LeftButton);
    QVERIFY(done.wait(5000));
}

Shown TestFormShowPages::shown() const
{
    return {child<QLabel>(m_window, "lab_DataNumber")->text(), child<QLineEdit>(m_window, "txt_Title")->text(),
            child<QLabel>(m_window, "lab_LastModified")->text(), child<QLabel>(m_window, "lab_Kakunin")->text(),
            indicators(m_window)};
}

void TestFormShowPages::emptyList_data()
{
    QTest::addColumn<QByteArray>("pages"); // "-" for no file
    QTest::newRow("count 0") << QByteArray(" 0 \r\n");
    QTest::newRow("no file yet") << QByteArray("-");
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("entries without numbers") << QByteArray(" 1 \r\nJazz\r\n");
    QTest::newRow("number beyond 16 bits") << QByteArray(" 1 \r\n040000 Big\r\n");
}

void TestFormShowPages::emptyList()
{
    QFETCH(QByteArray, pages);
    if (pages != "-")
        m_env->writeBytes(QStringLiteral("pages.udf"), pages);
    open();
    QCOMPARE(MessageBox::takeRecorded(), QStringList{QStringLiteral("データがありません")});
    QVERIFY(m_menu->isVisible());
    QVERIFY(!m_window->isVisible());
}

void TestFormShowPages::pagingAndCodes_data()
{
    // Each site: data number, title, .iud text. Then the clicks ("n" next,
    // "b" back) and what is shown after each, starting with the first page.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("iuds");
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<QStringList>("expected"); // number|title|last|check|marks per step

    const QString none = QStringLiteral("1- 2- 3- 4-");
    QTest::newRow("single entry: next and back change nothing")
        << QStringList{"000007 Jazz"} << QStringList{iud("1")} << "nb"
        << QStringList{"7|Jazz|2000/05/18 21:04:33|2000/05/20|1e 2- 3- 4-",
                       "7|Jazz|2000/05/18 21:04:33|2000/05/20|1e 2- 3- 4-",
                       "7|Jazz|2000/05/18 21:04:33|2000/05/20|1e 2- 3- 4-"};
    QTest::newRow("code 1 then 3")
        << QStringList{"000007 A", "000012 B"} << QStringList{iud("1"), iud(" 3 ")} << "nb"
        << QStringList{"7|A|2000/05/18 21:04:33|2000/05/20|1e 2- 3- 4-",
                       "12|B|2000/05/18 21:04:33|2000/05/20|1- 2- 3e 4-",
                       "7|A|2000/05/18 21:04:33|2000/05/20|1e 2- 3- 4-"};
    QTest::newRow("codes 0 and 5 after start-up")
        << QStringList{"000007 A", "000012 B"} << QStringList{iud("0"), iud("5")} << "n"
        << QStringList{"7|A|2000/05/18 21:04:33|2000/05/20|" + none, "12|B|2000/05/18 21:04:33|2000/05/20|" + none};
    QTest::newRow("codes 0, 1.5 and 5 keep a valid code")
        << QStringList{"000001 A", "000002 B", "000003 C", "000004 D"}
        << QStringList{iud("2"), iud("0"), iud("1.5"), iud("5")} << "nnn"
        << QStringList{"1|A|2000/05/18 21:04:33|2000/05/20|1- 2e 3- 4-", "2|B|2000/05/18 21:04:33|2000/05/20|1- 2e 3- 4-",
                       "3|C|2000/05/18 21:04:33|2000/05/20|1- 2e 3- 4-", "4|D|2000/05/18 21:04:33|2000/05/20|1- 2e 3- 4-"};
    QTest::newRow("title starting with digits")
        << QStringList{"000012 1999年のジャズ"} << QStringList{iud("4")} << ""
        << QStringList{"12|1999年のジャズ|2000/05/18 21:04:33|2000/05/20|1- 2- 3- 4e"};
    QTest::newRow("short and missing fields")
        << QStringList{"000007 A", "000012 B", "000020 C"}
        << QStringList{"#2000\r\n#\r\n", "-", "x2000/05/18 21:04:33 and more\r\nx2000/05/20 more\r\n3\r\n"} << "nn"
        << QStringList{"7|A|2000||" + none, "12|B|||" + none, "20|C|2000/05/18 21:04:33|2000/05/20|1- 2- 3e 4-"};
    QTest::newRow("back at the first page changes nothing")
        << QStringList{"000007 A", "000012 B"} << QStringList{iud("1"), iud("2")} << "bnn"
        << QStringList{"7|A|2000/05/18 21:04:33|2000/05/20|1e 2- 3- 4-", "7|A|2000/05/18 21:04:33|2000/05/20|1e 2- 3- 4-",
                       "12|B|2000/05/18 21:04:33|2000/05/20|1- 2e 3- 4-", "12|B|2000/05/18 21:04:33|2000/05/20|1- 2e 3- 4-"};
}

void TestFormShowPages::pagingAndCodes()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, iuds);
    QFETCH(QString, clicks);
    QFETCH(QStringList, expected);

    QString pages = QStringLiteral(" %1 ").arg(entries.size()) + kCrLf;
    for (int i = 0; i < entries.size(); ++i) {
        pages += entries[i] + kCrLf;
        writeSite(*m_env, entries[i].left(6).toInt(), entries[i].mid(7), iuds[i]);
    }
    m_env->writeText(QStringLiteral("pages.udf"), pages);
    open();

    auto check = [&](int step) {
        const Shown now = shown();
        const QString actual = QStringList{now.number, now.title, now.lastModified, now.checkDate, now.marks}.join(
            QLatin1Char('|'));
        QCOMPARE(actual, expected.at(step));
    };
    check(0);
    for (int i = 0; i < clicks.size(); ++i) {
        const char *name = clicks[i] == QLatin1Char('n') ? "Cmd_Next" : "cmd_Back";
        auto *button = child<QPushButton>(m_window, name);
        if (button->isEnabled())
            QTest::mouseClick(button, Qt::LeftButton);
        check(i + 1);
    }
    if (entries.size() == 1)
        QVERIFY(child<QPushButton>(m_window, "Cmd_Next")->isEnabled()); // a click changes nothing
}

void TestFormShowPages::reopenAfterTheEnd()
{
    m_env->writeText(QStringLiteral("pages.udf"), QStringLiteral(" 2 \r\n000007 A\r\n000012 B\r\n"));
    writeSite(*m_env, 7, QStringLiteral("A"), iud("1"));
    writeSite(*m_env, 12, QStringLiteral("B"), iud("3"));
    open();
    QTest::mouseClick(child<QPushButton>(m_window, "Cmd_Next"), Qt::LeftButton);
    QVERIFY(!child<QPushButton>(m_window, "Cmd_Next")->isEnabled());
    m_window->findChild<QAction *>(QStringLiteral("Menu_End"))->trigger();
    QVERIFY(m_menu->isVisible());
    QVERIFY(!m_window->isVisible());

    open();
    QCOMPARE(shown().number, QStringLiteral("7"));
    QVERIFY(!child<QPushButton>(m_window, "cmd_Back")->isEnabled());
    QVERIFY(child<QPushButton>(m_window, "Cmd_Next")->isEnabled());
    QVERIFY(!m_env->exists(QStringLiteral("data/000007.iud.tmp")));
}

void TestFormShowPages::indicatorsKeepAcrossVisits()
{
    m_env->writeText(QStringLiteral("pages.udf"), QStringLiteral(" 1 \r\n000007 A\r\n"));
    writeSite(*m_env, 7, QStringLiteral("A"), iud("3"));
    open();
    m_window->close(); // the frame's close control returns like 終了
    QVERIFY(m_menu->isVisible());
    writeSite(*m_env, 7, QStringLiteral("A"), iud("0"));
    open();
    QCOMPARE(shown().marks, QStringLiteral("1- 2- 3e 4-"));
}

void TestFormShowPages::layout()
{
    m_env->writeText(QStringLiteral("pages.udf"), QStringLiteral(" 1 \r\n000007 A\r\n"));
    writeSite(*m_env, 7, QStringLiteral("A"), iud("1"));
    open();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("気になるページ"));
    QCOMPARE(m_window->centralWidget()->size(), QSize(402, 417));
    QCOMPARE(child<QListWidget>(m_window, "List_Section")->geometry(), QRect(8, 128, 385, 64));
    QCOMPARE(child<QRadioButton>(m_window, "Option3")->geometry(), QRect(232, 352, 129, 25));
    QCOMPARE(child<QRadioButton>(m_window, "Option2")->palette().color(QPalette::Disabled, QPalette::WindowText),
             QColor(0, 192, 0));
    QCOMPARE(child<QRadioButton>(m_window, "Option1")->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(child<QLabel>(m_window, "Label4")->text(), QStringLiteral("更新日時"));
    QCOMPARE(m_window->menuBar()->actions().first()->text(), QStringLiteral("終了"));
    // A click on a disabled or the selected indicator changes nothing.
    QTest::mouseClick(child<QRadioButton>(m_window, "Option4"), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(m_window, "Option1"), Qt::LeftButton);
    QCOMPARE(shown().marks, QStringLiteral("1e 2- 3- 4-"));
}

void TestFormShowPages::endToEnd()
{
    WebServer web;
    const QString why = web.start();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));

    // The delivered data set of the worked example.
    m_env->writeText(QStringLiteral("all-info.idf"),
                     QStringList{"2000/05/20", "3", "2", "2", "3", "0,Top", "1,Music", "2,Jazz", "\"<END>\"", "0,1",
                                 "1,2", "\"<END>\"", "7,Jazz Corner,Reviews of new records,http://a.example/",
                                 "12,Blue Notes,A weekly column,http://b.example/", "\"<END>\"", "7,2", "12,2", "12,1",
                                 "\"<END>\""}
                             .join(kCrLf)
                         + kCrLf);
    m_env->writeText(QStringLiteral("update.idf"),
                     QStringLiteral("2000/05/20\r\n7,#2000/05/18 21:04:33#,#2000/05/20#,1\r\n"
                                    "12,#2000/05/19 08:15:00#,#2000/05/20#,4\r\n"));
    m_env->writeText(QStringLiteral("url.dat"), web.url() + kCrLf + kCrLf);
    web.writeFile(QStringLiteral("20000520.html"),
                  sjis(QStringLiteral("<HTML><BODY>更新<BR><FONT COLOR='#FF0000'>ブルー (12)</FONT> "
                                      "<FONT Size=2>2000/05/20 07:30:00</FONT><BR></BODY></HTML>")));
    Clock::instance().setTestTime(QDateTime(QDate(2000, 5, 20), QTime(12, 0, 0)));

    m_menu = std::make_unique<Form_Menu>();
    m_menu->Form_Load();
    m_menu->show();

    // Build the files.
    auto *build = m_menu->taskWindow(Form_Menu::Task::SetFile);
    QSignalSpy built(build, &TaskWindow::activationDone);
    QTest::mouseClick(child<QPushButton>(m_menu.get(), "cmd_SetFile"), Qt::LeftButton);
    QVERIFY(built.wait(5000));
    QTest::mouseClick(child<QPushButton>(build, "cmd_End"), Qt::LeftButton);
    QVERIFY(m_menu->isVisible());

    // Add both sites in the browser and leave it (saving pages.udf).
    auto *browser = m_menu->taskWindow(Form_Menu::Task::Show);
    QSignalSpy shownBrowser(browser, &TaskWindow::activationDone);
    QTest::mouseClick(child<QPushButton>(m_menu.get(), "Cmd_Show"), Qt::LeftButton);
    QVERIFY(shownBrowser.wait(5000));
    QTest::mouseClick(child<QPushButton>(browser, "cmd_Add"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(browser, "Cmd_Next"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(browser, "cmd_Add"), Qt::LeftButton);
    browser->findChild<QAction *>(QStringLiteral("Menu_End"))->trigger();
    QVERIFY(m_menu->isVisible());

    // Download today's page.
    QTest::mouseClick(child<QPushButton>(m_menu.get(), "cmd_Update"), Qt::LeftButton);
    auto *update = m_menu->taskWindow(Form_Menu::Task::Update);
    auto *confirm = child<QPushButton>(update, "cmd_OK");
    QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 20000);
    QVERIFY(child<QPlainTextEdit>(update, "txt_Condition")->toPlainText().contains(QStringLiteral("000012 終了")));
    QTest::mouseClick(confirm, Qt::LeftButton);
    QVERIFY(m_menu->isVisible());

    // The pages of interest show site 12 with its new state.
    m_window = static_cast<Form_Show_Pages *>(m_menu->taskWindow(Form_Menu::Task::ShowPage));
    QSignalSpy shownPages(m_window, &TaskWindow::activationDone);
    QTest::mouseClick(child<QPushButton>(m_menu.get(), "cmd_ShowPage"), Qt::LeftButton);
    QVERIFY(shownPages.wait(5000));
    Shown first = shown();
    QCOMPARE(first.number, QStringLiteral("7"));
    QCOMPARE(first.lastModified, QStringLiteral("2000/05/18 21:04:33"));
    QCOMPARE(first.marks, QStringLiteral("1e 2- 3- 4-"));
    QTest::mouseClick(child<QPushButton>(m_window, "Cmd_Next"), Qt::LeftButton);
    Shown second = shown();
    QCOMPARE(second.number, QStringLiteral("12"));
    QCOMPARE(second.title, QStringLiteral("Blue Notes"));
    QCOMPARE(second.lastModified, QStringLiteral("2000/05/20 07:30:00"));
    QCOMPARE(second.checkDate, QStringLiteral("2000/05/20"));
    QCOMPARE(second.marks, QStringLiteral("1- 2- 3e 4-"));
}

QTEST_MAIN(TestFormShowPages)
#include "tst_form_show_pages.moc"
