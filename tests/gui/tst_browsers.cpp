#include "browse/newsmarks.h"
#include "gui/kit/taskwindow.h"
#include "gui/kit/urlopener.h"
#include "guitest.h"
#include "testenv.h"

#include <QButtonGroup>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QTest>

#include <optional>

using namespace GuiTest;

// A user's steps in a browsing window, each the action and what the windows show after it: the window's own
// state, or "menu" while the menu is visible, then "; says " and the first two lines of each message box. Without
// what it shows, a step must only show no message.
using Steps = QList<QStringList>;

namespace {

// A site file: its number, title, description and link, then any section lines.
void writeSite(const TestEnv &env, int number, const QStringList &fields)
{
    env.writeBytes(QStringLiteral("data/%1.ibd").arg(std::abs(number), 6, 10, QLatin1Char('0')),
                   textLines(QStringList(QString::number(number)) + fields));
}

// number.sdf listing the sites, each titled "<number> Club" with the link " http://a.example/<number> " (blanks
// around it as a hand-edited file may have). Written last to first, so that a site that shares the files of one
// listed before it (-7 after 7) leaves that one's.
void registerClubs(const TestEnv &env, const QList<int> &numbers)
{
    QStringList lines{QString::number(numbers.size())};
    for (int k = int(numbers.size()) - 1; k >= 0; --k) {
        lines.insert(1, QString::number(numbers[k]));
        writeSite(env, numbers[k],
                  {QString::number(numbers[k]) + " Club", "About", QString(" http://a.example/%1 ").arg(numbers[k])});
    }
    env.writeBytes("number.sdf", textLines(lines));
}

// The menu and one browsing window, with the program directory below them.
struct Browser
{
    explicit Browser(Form_Menu::Task window)
        : task(window)
    {
        env.makeDir("data"); // else the menu disables its browsing buttons
        UrlOpener::setRecording(true); // no browser is launched
        menu.Form_Load();
        menu.show();
    }

    QWidget *window() { return menu.taskWindow(task); }
    template <typename T = QAbstractButton> T *control(const char *name) { return find<T>(window(), name); }
    QDialog *findBox() { return window()->findChild<QDialog *>("FindBox"); }
    QTableWidget *table() { return window()->findChild<QTableWidget *>("tbl_Pages"); }

    // The user's steps: what press() finds, those named here, and "find <text>" through the find box.
    void act(const QString &action)
    {
        // clang-format off
        const QHash<QString, std::function<void()>> steps{
            {"open", [&] { QVERIFY(openTask(menu, task)); }},
            {"close the frame", [&] { window()->close(); }},
            {"select the first entry", [&] { control<QListWidget>("List_Page")->setCurrentRow(0); }},
            {"make the directory read-only", [&] { readOnly.emplace(env.dir()); }},
            {"rebuild site 12", [&] { writeSite(env, 12, {"Rebuilt"}); }},
            {"give site 8 an ftp link", [&] { writeSite(env, 8, {"8 Club", "About", "ftp://a.example/8"}); }},
            {"list four pages, three marked", [&] {
                env.writeBytes("pages.udf", textLines({"4", "000007 A", "000012 B", "000099 C", "-00003 D"}));
                NewsMarks::add(env.dir(), {7, 12, 55}); }},
            {"double-click the link", [&] { QTest::mouseDClick(control<QLineEdit>("txt_Link"), Qt::LeftButton); }},
            {"choose the first row", [&] { QTest::keyClick(table(), Qt::Key_Return); }}};
        // clang-format on
        if (steps.contains(action)) {
            steps.value(action)();
        } else if (action.startsWith("find ")) {
            press(window(), "検索");
            find<QLineEdit>(findBox(), "txt_Find")->setText(action.mid(5));
            press(findBox(), "次を検索");
        } else {
            QVERIFY2(press(window(), action), qPrintable("no such step: " + action));
        }
    }

    void run(const Steps &steps, const std::function<QString()> &windowState)
    {
        for (const QStringList &step : steps) {
            act(step[0]);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // as the event loop would
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
            QVERIFY2(step.size() < 2 ? said.isEmpty() : shown.join("; ") == step[1],
                     qPrintable(step[0] + ": " + shown.join("; ")));
        }
    }

    // "site <number>; enabled <the buttons of those named that are enabled>"
    QString site(const QList<const char *> &buttons)
    {
        return "site " + control<QLabel>("lab_DataNumber")->text() + "; enabled " + enabled(window(), buttons);
    }

    TestEnv env;
    Form_Menu menu;
    Form_Menu::Task task;
    std::optional<ReadOnlyDir> readOnly;
};

} // namespace

class TestBrowsers : public QObject
{
    Q_OBJECT

private slots:
    void browse_data();
    void browse();
    void pages();
};

// Table rows are laid out by hand.
// clang-format off
void TestBrowsers::browse_data()
{
    QTest::addColumn<QList<int>>("sites");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QByteArray>("after");

    // -7 names the files of 7: the same page of interest.
    QTest::newRow("Add and Del, -7 after 7") << QList<int>{7, -7}
        << Steps{{"open", "site 7; enabled 次 Del"}, {"Del", "site 7; enabled 次 Del; says 削除対象をクリックしてください。"},
                 {"Add", "site 7; enabled 次 Del; listed 7"}, {"次", "site 7; enabled 前 Del; listed 7"},
                 {"Add", "site 7; enabled 前 Del; listed 7; says すでに存在しています。"}, {"select the first entry"},
                 {"Del", "site 7; enabled 前"}, {"前"}, {"Add", "site 7; enabled 次 Del; listed 7"}, {"終了", "menu"}}
        << textLines({" 1 ", "000007 7 Club"});
    QTest::newRow("Page Up and Down as 前 and 次, Esc as 終了") << QList<int>{10, 20, 30}
        << Steps{{"open"}, {"PgUp", "site 10; enabled 次 Del"}, {"PgDown", "site 20; enabled 前 次 Del"}, {"PgDown", "site 30; enabled 前 Del"},
                 {"PgDown", "site 30; enabled 前 Del"}, {"PgUp", "site 20; enabled 前 次 Del"}, {"PgUp", "site 10; enabled 次 Del"}, {"Esc", "menu"}}
        << textLines({" 0 "});
    // The find box and F3 go on from the site shown and wrap to the first; a build while the window is away
    // changes what a find reads.
    QTest::newRow("find") << QList<int>{7, 12}
        << Steps{{"open"}, {"find club", "site 12; enabled 前 Del"}, {"F3", "site 7; enabled 次 Del; wrapped"},
                 {"find zzz", "site 7; enabled 次 Del; says 「zzz」は見つかりませんでした。"}, {"終了", "menu"},
                 {"rebuild site 12", "menu"}, {"open"}, {"find rebuilt", "site 12; enabled 前 Del"}}
        << textLines({" 0 "});
    // By the menu and by a double-click on the link box alike; only web links.
    const QString refused = "site 8; enabled 前 Del; says http と https のアドレスだけをブラウザで開きます。 「ftp://a.example/8」は開きません。";
    QTest::newRow("links") << QList<int>{7, 8}
        << Steps{{"open"}, {"ブラウザで開く", "site 7; enabled 次 Del; opened http://a.example/7"},
                 {"double-click the link", "site 7; enabled 次 Del; opened http://a.example/7"}, {"give site 8 an ftp link"},
                 {"次", "site 8; enabled 前 Del"}, {"ブラウザで開く", refused}, {"double-click the link", refused}}
        << QByteArray();
    QTest::newRow("no site") << QList<int>{} << Steps{{"open", "menu; says データがありません"}} << QByteArray();
    // One site: 次 stays enabled, as on the first of many, and leads nowhere. Nothing saved: a second exit
    // leaves without.
    QTest::newRow("one site, a read-only directory") << QList<int>{3}
        << Steps{{"open", "site 3; enabled 次 Del"}, {"次", "site 3; enabled 次 Del"}, {"前", "site 3; enabled 次 Del"},
                 {"make the directory read-only"},
                 {"終了", "site 3; enabled 次 Del; says ファイルを保存できませんでした。 ~/pages.udf"}, {"close the frame", "menu"}}
        << QByteArray();
}
// clang-format on

void TestBrowsers::browse()
{
    QFETCH(QList<int>, sites);
    QFETCH(Steps, steps);
    QFETCH(QByteArray, after);
    Browser b(Form_Menu::Task::Show);
    registerClubs(b.env, sites);
    b.run(steps, [&] {
        QStringList listed;
        auto *list = b.control<QListWidget>("List_Page");
        for (int row = 0; row < list->count(); ++row)
            listed << QString::number(list->item(row)->text().left(6).toInt());
        const QString note = b.findBox() ? find<QLabel>(b.findBox(), "lab_FindNote")->text() : "";
        const QString opened = UrlOpener::takeOpened().value(0);
        return b.site({"cmd_Back", "Cmd_Next", "cmd_Delete"})
            + (listed.isEmpty() ? "" : "; listed " + listed.join(", ")) + (note.isEmpty() ? "" : "; wrapped")
            + (opened.isEmpty() ? "" : "; opened " + opened);
    });
    b.readOnly.reset();
    QCOMPARE(b.env.readBytes("pages.udf"), after);
}

// The pages window with one page: 次 leads nowhere and stays enabled, also after a jump from the list. Then
// with four, listed newest first with the marks not seen when the window opened; pages 99 and -3 have no files.
// Showing a page, or listing it with its mark, clears its mark; 55 is no page of interest and keeps it.
// Its state: "site <number>; enabled <paging buttons and methods>; method <the one checked>; updated <last
// update>; checked <check date>", or the rows of its list when that is in front, each "new mark|number|title|
// last update|check date|method"; then "; marks <the pages marked as news, as news.dat lists them>".
void TestBrowsers::pages()
{
    Browser b(Form_Menu::Task::ShowPage);
    b.env.writeBytes("pages.udf", textLines({"1", "000007 A"}));
    writeSite(b.env, 7, {"A"});
    b.env.writeBytes("data/000007.iud", textLines({"#2000/05/18 21:04:33#", "#2000/05/19#", "4"}));
    writeSite(b.env, 12, {"B"});
    b.env.writeBytes("data/000012.iud", textLines({"#2000/05/21 10:00:00#", "#2000/05/21#", "3"}));
    // clang-format off
    const QString a = "site 7; enabled 次 ファイルサイズ; method ファイルサイズ; updated 2000/05/18 21:04:33; checked 2000/05/19; marks ";
    const Steps steps{{"open", a + "none"}, {"次", a + "none"}, {"PgUp", a + "none"}, {"一覧"}, {"choose the first row", a + "none"},
        {"終了", "menu"}, {"list four pages, three marked", "menu"}, {"open", a + "000012 000055"},
        {"一覧", "●|12|B|2000/05/21 10:00:00|2000/05/21|Header(Content...)\n"
                 "●|7|A|2000/05/18 21:04:33|2000/05/19|ファイルサイズ\n|99||||\n|-3||||; marks 000055"},
        {"choose the first row", "site 12; enabled 前 次 Header(Content...); method Header(Content...); "
                                 "updated 2000/05/21 10:00:00; checked 2000/05/21; marks 000055"}};
    // clang-format on
    b.run(steps, [&] {
        QStringList shown;
        for (int r = 0; b.table() && b.table()->isVisible() && r < b.table()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < b.table()->columnCount(); ++c)
                cells << b.table()->item(r, c)->text();
            shown << cells.join('|');
        }
        const QAbstractButton *method = b.window()->findChild<QButtonGroup *>()->checkedButton();
        if (shown.isEmpty())
            shown << b.site({"cmd_Back", "Cmd_Next", "Option1", "Option2", "Option3", "Option4"}) + "; method "
                    + (method ? method->text() : "none") + "; updated " + b.control<QLabel>("lab_LastModified")->text()
                    + "; checked " + b.control<QLabel>("lab_Kakunin")->text();
        const QString marks = b.env.readText("news.dat").split("\r\n", Qt::SkipEmptyParts).join(' ');
        return shown.join('\n') + "; marks " + (marks.isEmpty() ? "none" : marks);
    });
}

QTEST_MAIN(TestBrowsers)
#include "tst_browsers.moc"
