#include "gui/kit/taskwindow.h"
#include "gui/kit/urlopener.h"
#include "browse/newsmarks.h"
#include "guitest.h"
#include "platform/settings.h"
#include "store/textrules.h"
#include "testenv.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <optional>

using namespace GuiTest;

// A user's step in a browsing window, and what the windows show after it: the window's own state, or "menu"
// while the menu is visible, then "; says " and the first two lines of each message box. Without what it shows,
// a step must only show no message.
struct Step
{
    QString action;
    QString shows;
};
using Steps = QList<Step>;

namespace {

// The menu and one browsing window, with the program directory below them.
struct Browser
{
    explicit Browser(Form_Menu::Task window)
        : task(window)
    {
        env.makeDir("data"); // else the menu disables its browsing buttons
        UrlOpener::setRecording(true); // no browser is launched
    }

    QWidget *window() { return menu.taskWindow(task); }
    template <typename T = QAbstractButton> T *control(const char *name) { return find<T>(window(), name); }

    // The steps any browsing test takes; a test adds its own.
    void act(const QString &action)
    {
        const QHash<QString, std::function<void()>> steps{
            {"open",
             [&] {
                 if (!std::exchange(loaded, true)) {
                     menu.Form_Load();
                     menu.show();
                 }
                 QVERIFY(openTask(menu, task));
             }},
            {"前", [&] { click(control("cmd_Back")); }},
            {"次", [&] { click(control("Cmd_Next")); }},
            {"Add", [&] { click(control("cmd_Add")); }},
            {"Del", [&] { click(control("cmd_Delete")); }},
            {"終了", [&] { control<QAction>("Menu_End")->trigger(); }},
            {"close the frame", [&] { window()->close(); }},
            {"Page Up", [&] { QTest::keyClick(window(), Qt::Key_PageUp); }},
            {"Page Down", [&] { QTest::keyClick(window(), Qt::Key_PageDown); }},
            {"Esc", [&] { QTest::keyClick(window(), Qt::Key_Escape); }},
            {"F3", [&] { QTest::keyClick(window(), Qt::Key_F3); }},
            {"一覧", [&] { control<QAction>("Menu_List")->trigger(); }},
            {"choose the first row", [&] {
                 auto *table = window()->findChild<QTableWidget *>("tbl_Pages");
                 table->setCurrentCell(0, 0);
                 QTest::keyClick(table, Qt::Key_Return);
             }}};
        QVERIFY2(steps.contains(action) || own.contains(action), qPrintable("no such step: " + action));
        steps.contains(action) ? steps.value(action)() : own.value(action)();
    }

    void run(const Steps &steps, const std::function<QString()> &windowState)
    {
        for (const Step &step : steps) {
            act(step.action);
            QStringList shown;
            if (menu.isVisible())
                shown << "menu";
            // Back at the menu, nothing of the window stays on the screen.
            for (QDialog *dialog : window()->findChildren<QDialog *>())
                if (menu.isVisible() && dialog->isVisible())
                    shown << dialog->objectName() + " still open";
            if (window()->isVisible())
                shown << windowState();
            const QString said = messages(env.dir());
            if (!said.isEmpty())
                shown << "says " + said;
            if (step.shows.isEmpty())
                QVERIFY2(said.isEmpty(), qPrintable(step.action + ": " + said));
            else
                QVERIFY2(shown.join("; ") == step.shows, qPrintable(step.action + ": " + shown.join("; ")));
        }
    }

    TestEnv env;
    Form_Menu menu;
    Form_Menu::Task task;
    QHash<QString, std::function<void()>> own;
    std::optional<ReadOnlyDir> readOnly;
    bool loaded = false;
};

// A site file: its number, title, description and link, then any section lines.
void writeSite(const TestEnv &env, int number, const QStringList &fields)
{
    env.writeBytes(QStringLiteral("data/%1.ibd").arg(std::abs(number), 6, 10, QLatin1Char('0')),
                   textLines(QStringList(QString::number(number)) + fields));
}

// number.sdf listing the sites, each titled "<number> Club".
void registerClubs(const TestEnv &env, const QList<int> &numbers)
{
    QStringList lines{QString::number(numbers.size())};
    for (int number : numbers) {
        lines << QString::number(number);
        writeSite(env, number, {QString::number(number) + " Club", "About", "URL"});
    }
    env.writeBytes("number.sdf", textLines(lines));
}

// The browser's state: "site <number>; enabled <buttons>; listed <numbers of the pages of interest>".
QString browserState(Browser &b)
{
    QStringList listed;
    auto *list = b.control<QListWidget>("List_Page");
    for (int row = 0; row < list->count(); ++row)
        listed << QString::number(list->item(row)->text().left(6).toInt());
    return "site " + b.control<QLabel>("lab_DataNumber")->text() + "; enabled "
        + enabled(b.window(), {"cmd_Back", "Cmd_Next", "cmd_Delete"}) + "; listed "
        + (listed.isEmpty() ? "none" : listed.join(", "));
}

// The pages window's state: "site <number> <title>; enabled <buttons>; method <the one option checked>;
// updated <last update>; checked <check date>".
QString pageState(Browser &b)
{
    QStringList methods;
    for (const char *name : {"Option1", "Option2", "Option3", "Option4"}) {
        QAbstractButton *option = b.control(name);
        if (option->isChecked() && option->isEnabled())
            methods << QString(QLatin1Char(name[6]));
        else if (option->isChecked() || option->isEnabled())
            methods << QStringLiteral("(%1 half on)").arg(name[6]);
    }
    return "site " + b.control<QLabel>("lab_DataNumber")->text() + ' ' + b.control<QLineEdit>("txt_Title")->text()
        + "; enabled " + enabled(b.window(), {"cmd_Back", "Cmd_Next"}) + "; method "
        + (methods.isEmpty() ? "none" : methods.join(' ')) + "; updated "
        + b.control<QLabel>("lab_LastModified")->text() + "; checked " + b.control<QLabel>("lab_Kakunin")->text();
}

} // namespace

class TestBrowsers : public QObject
{
    Q_OBJECT

private slots:
    void browse_data();
    void browse();
    void find();
    void openLink_data();
    void openLink();
    void onePage();
    void list();
    void listFromNotification();
};

// Table rows are laid out by hand.
// clang-format off
void TestBrowsers::browse_data()
{
    QTest::addColumn<QList<int>>("sites");
    QTest::addColumn<QByteArray>("before"); // pages.udf; null: no file
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QByteArray>("after");

    // One site: 次 stays enabled, as on the first of many, and leads nowhere.
    QTest::newRow("one site") << QList<int>{7} << QByteArray() << Steps{
        {"open", "site 7; enabled 次 Del; listed none"}, {"次", "site 7; enabled 次 Del; listed none"},
        {"前", "site 7; enabled 次 Del; listed none"}} << QByteArray();
    QTest::newRow("adding a listed site, titles beginning with digits") << QList<int>{7, 12} << textLines({" 1 ", "000012 Old Title"})
        << Steps{{"open"}, {"Add", "site 7; enabled 次 Del; listed 7, 12"},
                 {"Add", "site 7; enabled 次 Del; listed 7, 12; says すでに存在しています。"}, {"終了", "menu"}}
        << textLines({" 2 ", "000007 7 Club", "000012 Old Title"});
    QTest::newRow("delete and its button") << QList<int>{7, 12} << textLines({" 2 ", "000007 7 Club", "000012 12 Club"})
        << Steps{{"open", "site 7; enabled 次 Del; listed 7, 12"},
                 {"Del", "site 7; enabled 次 Del; listed 7, 12; says 削除対象をクリックしてください。"},
                 {"select the second entry", "site 7; enabled 次 Del; listed 7, 12"}, {"Del", "site 7; enabled 次 Del; listed 7"},
                 {"select the first entry"}, {"Del", "site 7; enabled 次; listed none"}, {"終了", "menu"}}
        << textLines({" 0 "});
    QTest::newRow("Page Up and Down as 前 and 次, Esc as 終了") << QList<int>{10, 20, 30} << QByteArray()
        << Steps{{"open"}, {"Page Up", "site 10; enabled 次 Del; listed none"}, {"Page Down", "site 20; enabled 前 次 Del; listed none"},
                 {"Page Down", "site 30; enabled 前 Del; listed none"}, {"Page Down", "site 30; enabled 前 Del; listed none"},
                 {"Page Up", "site 20; enabled 前 次 Del; listed none"}, {"Add"}, {"前", "site 10; enabled 次 Del; listed 20"},
                 {"Esc", "menu"}}
        << textLines({" 1 ", "000020 20 Club"});
    QTest::newRow("no site") << QList<int>{} << QByteArray() << Steps{{"open", "menu; says データがありません"}} << QByteArray();
    // Nothing saved: a second exit leaves without.
    QTest::newRow("read-only directory and file") << QList<int>{3, 4} << textLines({" 1 ", "000004 4 Club"})
        << Steps{{"open"}, {"Add"}, {"make the directory and pages.udf read-only"},
                 {"終了", "site 3; enabled 次 Del; listed 3, 4; says ファイルを保存できませんでした。 ~/pages.udf"},
                 {"close the frame", "menu"}}
        << textLines({" 1 ", "000004 4 Club"});
}
// clang-format on

void TestBrowsers::browse()
{
    QFETCH(QList<int>, sites);
    QFETCH(QByteArray, before);
    QFETCH(Steps, steps);
    QFETCH(QByteArray, after);
    Browser b(Form_Menu::Task::Show);
    registerClubs(b.env, sites);
    if (!before.isNull())
        b.env.writeBytes("pages.udf", before);
    const auto selectRow = [&](int row) {
        auto *list = b.control<QListWidget>("List_Page");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    };
    b.own = {{"select the first entry", [&] { selectRow(0); }},
             {"select the second entry", [&] { selectRow(1); }},
             {"make the directory and pages.udf read-only", [&] { b.readOnly.emplace(b.env.dir()); }}};
    b.run(steps, [&] { return browserState(b); });
    b.readOnly.reset();
    QCOMPARE(b.env.readBytes("pages.udf"), after);
}

// The find box and F3: data numbers and texts alike fold width and case, and a find wraps to the first site.
void TestBrowsers::find()
{
    Browser b(Form_Menu::Task::Show);
    b.env.writeBytes("number.sdf", textLines({"3", "7", "12", "300"}));
    writeSite(b.env, 7, {"Jazz Corner"});
    writeSite(b.env, 12, {"Blue Notes Club"});
    writeSite(b.env, 300, {"音楽の森", "", "URL"});
    QDialog *box = nullptr;
    const auto findText = [&](const QString &text) {
        b.control<QAction>("Menu_Find")->trigger();
        box = b.window()->findChild<QDialog *>("FindBox");
        QVERIFY(box && box->isVisible());
        GuiTest::find<QLineEdit>(box, "txt_Find")->setText(text);
        click(GuiTest::find(box, "cmd_FindNext"));
    };
    for (const QString &text : {"３００", "ｎｏｔｅｓ", "7", "zzz", "rebuilt"})
        b.own.insert("find " + text, [=] { findText(text); });
    // A build while the window is away changes what a find reads.
    b.own.insert("rebuild site 12", [&] { writeSite(b.env, 12, {"Rebuilt"}); });
    // clang-format off
    b.run({{"open"}, {"find ３００", "site 300; enabled 前"}, {"find ｎｏｔｅｓ", "site 12; enabled 前 次; wrapped"},
           {"F3", "site 12; enabled 前 次; wrapped"}, {"find 7", "site 7; enabled 次; wrapped"},
           {"find zzz", "site 7; enabled 次; says 「zzz」は見つかりませんでした。"}, {"終了", "menu"},
           {"rebuild site 12", "menu"}, {"open"}, {"find rebuilt", "site 12; enabled 前 次"}},
          [&] {
              const QString note = box ? GuiTest::find<QLabel>(box, "lab_FindNote")->text() : QString();
              return "site " + b.control<QLabel>("lab_DataNumber")->text() + "; enabled "
                  + enabled(b.window(), {"cmd_Back", "Cmd_Next"}) + (note.isEmpty() ? "" : "; wrapped");
          });
    // clang-format on
}

// Table rows are laid out by hand.
// clang-format off
void TestBrowsers::openLink_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("shows");
    QTest::newRow("http") << " http://a.example/x?y=1 " << "opened http://a.example/x?y=1";
    for (const char *link : {"file:///etc/passwd", "ftp://a.example/x"})
        QTest::newRow(link) << link
            << QStringLiteral("opened nothing; says http と https のアドレスだけをブラウザで開きます。 「%1」は開きません。").arg(link);
}
// clang-format on

// By the menu and by a double-click on the link box alike.
void TestBrowsers::openLink()
{
    QFETCH(QString, link);
    QFETCH(QString, shows);
    Browser b(Form_Menu::Task::Show);
    b.env.writeBytes("number.sdf", textLines({"1", "7"}));
    writeSite(b.env, 7, {"A", "B", link});
    b.own = {{"ブラウザで開く", [&] { b.control<QAction>("Menu_Open")->trigger(); }},
             {"double-click the link", [&] { QTest::mouseDClick(b.control<QLineEdit>("txt_Link"), Qt::LeftButton); }}};
    b.run({{"open"}, {"ブラウザで開く", shows}, {"double-click the link", shows}},
          [] { return "opened " + UrlOpener::takeOpened().value(0, "nothing"); });
}

// A single page of interest: 次 leads nowhere and stays enabled, also after a jump from the list; the window
// writes nothing.
void TestBrowsers::onePage()
{
    Browser b(Form_Menu::Task::ShowPage);
    b.env.writeBytes("pages.udf", textLines({"1", "000007 A"}));
    writeSite(b.env, 7, {"A"});
    b.env.writeBytes("data/000007.iud", textLines({"#2000/05/18 21:04:33#", "#2000/05/20#", "4"}));
    const QString shown = "site 7 A; enabled 次; method 4; updated 2000/05/18 21:04:33; checked 2000/05/20";
    b.run({{"open", shown}, {"次", shown}, {"Page Up", shown}, {"一覧"}, {"choose the first row", shown}},
          [&] { return pageState(b); });
    QCOMPARE(b.env.readBytes("pages.udf"), textLines({"1", "000007 A"}));
}

// The list opens newest first and marks the news not seen when the window
// opened; choosing a row shows its page. Showing a page, or listing it with
// its mark, clears its mark; page 55 is no page of interest and keeps it.
void TestBrowsers::list()
{
    // Page 3 has no files, page 4 a number without files and out of order.
    Browser b(Form_Menu::Task::ShowPage);
    b.env.writeBytes("pages.udf", textLines({"4", "000007 A", "000012 B", "000099 C", "-00003 D"}));
    writeSite(b.env, 7, {"A"});
    b.env.writeBytes("data/000007.iud", textLines({"#2000/05/18 21:04:33#", "#2000/05/19#", "1"}));
    writeSite(b.env, 12, {"B"});
    b.env.writeBytes("data/000012.iud", textLines({"#2000/05/21 10:00:00#", "#2000/05/21#", "3"}));
    NewsMarks::add(b.env.dir(), {7, 12, 55});
    const auto marks = [&] {
        QList<qint16> list = NewsMarks::read(b.env.dir()).values();
        std::sort(list.begin(), list.end());
        return list;
    };
    const auto table = [&] { return b.window()->findChild<QTableWidget *>("tbl_Pages"); };
    // Each row: new mark, number, title, last update, check date, method.
    b.run({{"open", "site 7 A; enabled 次; method 1; updated 2000/05/18 21:04:33; checked 2000/05/19"}},
          [&] { return pageState(b); });
    QCOMPARE(marks(), QList<qint16>({12, 55})); // page 1 was shown
    b.run({{"一覧",
            "●|12|B|2000/05/21 10:00:00|2000/05/21|Header(Content...)\n"
            "●|7|A|2000/05/18 21:04:33|2000/05/19|Header(Last-Modified)\n|99||||\n|-3||||"},
           {"choose the first row",
            "site 12 B; enabled 前 次; method 3; updated 2000/05/21 10:00:00; checked 2000/05/21"}},
          [&] {
              if (!table() || !table()->isVisible())
                  return pageState(b);
              QStringList rows;
              for (int r = 0; r < table()->rowCount(); ++r) {
                  QStringList cells;
                  for (int c = 0; c < table()->columnCount(); ++c)
                      cells << table()->item(r, c)->text();
                  rows << cells.join('|');
              }
              return rows.join('\n');
          });
    QCOMPARE(marks(), QList<qint16>({55}));
}

// "vellumark --pages-list", as a click on the notification of news starts
// it: the pages of interest with their list shown over them, the menu hidden.
void TestBrowsers::listFromNotification()
{
    Browser b(Form_Menu::Task::ShowPage);
    b.env.writeBytes("pages.udf", textLines({"2", "000007 A", "000012 B"}));
    writeSite(b.env, 7, {"A"});
    writeSite(b.env, 12, {"B"});
    NewsMarks::add(b.env.dir(), {12});
    b.menu.Form_Load();
    QSignalSpy done(b.menu.taskWindow(Form_Menu::Task::ShowPage), &TaskWindow::activationDone);
    b.menu.openPagesList();
    QTRY_COMPARE(done.count(), 1);
    auto *table = b.window()->findChild<QTableWidget *>("tbl_Pages");
    QVERIFY(table && table->isVisible() && b.window()->isVisible() && !b.menu.isVisible());
    QCOMPARE(table->item(0, 0)->text() + table->item(1, 0)->text(), QString("●"));
}

QTEST_MAIN(TestBrowsers)
#include "tst_browsers.moc"
