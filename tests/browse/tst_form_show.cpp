#include "gui/menu/form_menu.h"
#include "browse/pagesfile.h"
#include "gui/kit/messagebox.h"
#include "platform/settings.h"
#include "gui/kit/urlopener.h"
#include "store/datafiles.h"
#include "store/textrules.h"
#include "testenv.h"
#include "gui/kit/taskwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <functional>
#include <optional>
#include <utility>

// The menu with one browsing window, driven by steps "action" or "action:expected state" separated by ";":
// o opens the window from the menu; n, b, a, d click next, previous, add, delete; e is 終了, x the frame's
// close; other actions are the test's own. The state is "menu" while the menu is visible, the window's part
// while it is visible, then "!" and the first two lines of each message box (the third is the system's
// reason). A step without an expected state must show no message.
struct BrowseFixture
{
    explicit BrowseFixture(Form_Menu::Task window)
        : task(window)
    {
        env.makeDir(QStringLiteral("data")); // else the menu disables its browsing buttons
        UrlOpener::setRecording(true); // no browser is launched
    }

    template <typename T = QAbstractButton> static T *find(QWidget *parent, const char *name)
    {
        return parent->findChild<T *>(QLatin1String(name));
    }
    template <typename T = QAbstractButton> T *control(const char *name)
    {
        return find<T>(menu.taskWindow(task), name);
    }
    static void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    QString flag(const char *name, char on) { return QString(QLatin1Char(control(name)->isEnabled() ? on : '-')); }

    void run(
        const QString &steps, const std::function<QString()> &shown,
        const std::function<void(const QString &)> &act = [](const QString &) { QFAIL("unknown action"); })
    {
        static const QHash<QString, const char *> buttons{
            {"n", "Cmd_Next"}, {"b", "cmd_Back"}, {"a", "cmd_Add"}, {"d", "cmd_Delete"}};
        for (const QString &step : steps.split(QLatin1Char(';'))) {
            const qsizetype colon = step.indexOf(QLatin1Char(':'));
            const QString action = step.left(colon);
            if (action == QLatin1String("o")) {
                if (!std::exchange(m_loaded, true)) {
                    menu.Form_Load();
                    menu.show();
                }
                QSignalSpy done(menu.taskWindow(task), &TaskWindow::activationDone);
                click(find(&menu, task == Form_Menu::Task::Show ? "Cmd_Show" : "cmd_ShowPage"));
                QTRY_COMPARE(done.count(), 1);
            } else if (buttons.contains(action))
                click(control(buttons.value(action)));
            else if (action == QLatin1String("e"))
                control<QAction>("Menu_End")->trigger();
            else if (action == QLatin1String("x"))
                menu.taskWindow(task)->close();
            else
                act(action);
            QStringList state;
            if (menu.isVisible())
                state << QStringLiteral("menu");
            if (menu.taskWindow(task)->isVisible())
                state << shown();
            for (const QString &text : MessageBox::takeRecorded())
                state << QLatin1Char('!')
                        + text.section(QStringLiteral("\r\n"), 0, 1)
                              .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                              .replace(QDir::toNativeSeparators(env.dir()), QStringLiteral("~"));
            const QString seen = state.join(QLatin1Char(' '));
            if (colon >= 0)
                QCOMPARE(seen, step.mid(colon + 1));
            else
                QVERIFY2(!seen.contains(QLatin1Char('!')), qPrintable(step + QLatin1Char(' ') + seen));
        }
    }

    TestEnv env;
    Form_Menu menu;
    Form_Menu::Task task;

private:
    bool m_loaded = false;
};

namespace {

// pages.udf, number.sdf or a description file: the count line (by default the number of items), then one
// line each.
QString lines(const QStringList &items, int count = -1)
{
    QString text = TextRules::numberLine(count < 0 ? items.size() : count) + QStringLiteral("\r\n");
    for (const QString &item : items)
        text += item + QStringLiteral("\r\n");
    return text;
}

// Puts a file in place: null leaves it out, "<dir>" makes a directory of its name.
void place(const TestEnv &env, const QString &name, const QString &text)
{
    if (text == QLatin1String("<dir>"))
        env.makeDir(name);
    else if (!text.isNull())
        env.writeText(name, text);
}

// The window's state: data number, previous and next enabled (B N), title, the method indicators (the
// option's digit when it is selected and enabled, "-" when neither, "?" otherwise), then the last update and
// the check date.
QString pageState(BrowseFixture &f)
{
    QString marks;
    for (const char *name : {"Option1", "Option2", "Option3", "Option4"}) {
        QAbstractButton *option = f.control(name);
        marks += option->isChecked() != option->isEnabled() ? '?' : option->isChecked() ? name[6] : '-';
    }
    return QStringList{f.control<QLabel>("lab_DataNumber")->text(), f.flag("cmd_Back", 'B') + f.flag("Cmd_Next", 'N'),
                       f.control<QLineEdit>("txt_Title")->text(), marks,
                       f.control<QLabel>("lab_LastModified")->text() + '|' + f.control<QLabel>("lab_Kakunin")->text()}
        .join(QLatin1Char(' '));
}

} // namespace

class TestFormShow : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void browse_data();
    void browse();
    void find();
    void openLink_data();
    void openLink();
    void description_data();
    void description();
    void pages_data();
    void pages();
    void list();
};

// Table rows are laid out by hand.
// clang-format off
void TestFormShow::browse_data()
{
    QTest::addColumn<QString>("index");  // number.sdf as "count|numbers"; each site titled "<number> Club"
    QTest::addColumn<QString>("before"); // pages.udf
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("after"); // pages.udf at the end; null: as before

    // Besides the fixture's actions: s<row> selects an entry, l (L: and the file) makes the directory
    // read-only. The window's state: the data number shown, previous, next and
    // delete enabled (B N D), the data numbers listed.
    const QString none;
    const QString kept = lines({"000001 kept"});
    QTest::newRow("navigation at both ends") << "3|10 20 30" << none
        << "o:10 -ND ();b:10 -ND ();n:20 BND ();n:30 B-D ();n:30 B-D ();b:20 BND ();b:10 -ND ()" << none;
    QTest::newRow("reopening after the end, an empty list written") << "3|5 6 7" << none
        << "o;n;n:7 B-D ();e:menu;o:5 -ND ();n:6 BND ()" << lines({});
    QTest::newRow("unreadable number.sdf") << "<dir>" << kept
        << "o:menu !ファイルを読み込めませんでした。 ~/number.sdf" << none;
    QTest::newRow("adding a listed number, titles beginning with digits") << "2|7 12" << lines({"000012 Old Title"})
        << "o;a:7 -ND (7,12);a:7 -ND (7,12) !すでに存在しています。;n;a:12 B-D (7,12) !すでに存在しています。;e"
        << lines({"000007 7 Club", "000012 Old Title"});
    QTest::newRow("ascending: among entries stored out of order") << "5|300 7 32767 12 1"
        << lines({"000500 Five Hundred", "000002 Two", "020000 Twenty Thousand"})
        << "o;n;n;a;b;b;a;n;n;n;n;a:1 B-D (1,2,300,500,20000,32767);e"
        << lines({"000001 1 Club", "000002 Two", "000300 300 Club", "000500 Five Hundred",
                  "020000 Twenty Thousand", "032767 32767 Club"});
    QTest::newRow("delete and its button") << "2|7 12" << lines({"000007 7 Club", "000012 12 Club"})
        << "o:7 -ND (7,12);d:7 -ND (7,12) !削除対象をクリックしてください。;s1:7 -ND (7,12);d:7 -ND (7);"
           "d:7 -ND (7) !削除対象をクリックしてください。;s0;d:7 -N- ();e;o:7 -N- ();a:7 -ND (7);e"
        << lines({"000007 7 Club"});
    QTest::newRow("Page Up/Down as 前/次, Esc as 終了") << "3|10 20 30" << none
        << "o;PgUp:10 -ND ();PgDown:20 BND ();PgDown:30 B-D ();PgDown:30 B-D ();PgUp:20 BND ();a;Escape:menu"
        << lines({"000020 20 Club"});
    // A read-only directory: the file is rewritten in place; if that fails too, a second exit leaves unsaved.
    QTest::newRow("read-only directory") << "2|3 4" << lines({"000004 4 Club"}) << "o;a;l;e:menu"
                                         << lines({"000003 3 Club", "000004 4 Club"});
    QTest::newRow("read-only directory and file") << "2|3 4" << lines({"000004 4 Club"})
        << "o;a;L;e:3 -ND (3,4) !ファイルを保存できませんでした。 ~/pages.udf;x:menu" << QString();
}
// clang-format on

void TestFormShow::browse()
{
    QFETCH(QString, index);
    QFETCH(QString, before);
    QFETCH(QString, steps);
    QFETCH(QString, after);

    BrowseFixture f(Form_Menu::Task::Show);
    std::optional<ReadOnlyDir> readOnly;
    const QStringList numbers = index.section(QLatin1Char('|'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &number : numbers)
        f.env.writeText(
            QStringLiteral("data/%1.ibd").arg(number.toInt(), 6, 10, QLatin1Char('0')),
            lines({number + QStringLiteral(" Club"), QStringLiteral("About"), QStringLiteral("URL")}, number.toInt()));
    place(f.env, QStringLiteral("number.sdf"),
          index.contains(QLatin1Char('|')) ? lines(numbers, index.section(QLatin1Char('|'), 0, 0).toInt()) : index);
    place(f.env, QStringLiteral("pages.udf"), before);

    const auto list = [&] { return f.control<QListWidget>("List_Page"); };
    f.run(
        steps,
        [&] {
            QStringList listed;
            for (int row = 0; row < list()->count(); ++row)
                listed << QString::number(list()->item(row)->text().left(6).toInt());
            return f.control<QLabel>("lab_DataNumber")->text() + QLatin1Char(' ') + f.flag("cmd_Back", 'B')
                + f.flag("Cmd_Next", 'N') + f.flag("cmd_Delete", 'D') + QStringLiteral(" (%1)").arg(listed.join(','));
        },
        [&](const QString &action) {
            if (action.startsWith(QLatin1Char('s'))) {
                QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                                  list()->visualItemRect(list()->item(action.mid(1).toInt())).center());
            } else if (action.toLower() == QLatin1String("l")) {
                // With l anyone may write the file itself: only an atomic save must fail.
                QFile::setPermissions(f.env.path(QStringLiteral("pages.udf")),
                                      QFileDevice::Permissions(action == QLatin1String("l") ? 0x6666 : 0x4444));
                readOnly.emplace(f.env.dir());
            } else {
                QTest::keyClick(f.menu.taskWindow(f.task),
                                action == "PgUp"         ? Qt::Key_PageUp
                                    : action == "PgDown" ? Qt::Key_PageDown
                                                         : Qt::Key_Escape);
            }
        });
    QCOMPARE(f.env.readText(QStringLiteral("pages.udf")), after.isNull() ? before : after);
}

// The find box and F3: data numbers and texts alike fold width and case, and a find wraps to the first site.
void TestFormShow::find()
{
    BrowseFixture f(Form_Menu::Task::Show);
    f.env.writeText(QStringLiteral("number.sdf"), lines({"7", "12", "300"}));
    f.env.writeText(QStringLiteral("data/000007.ibd"), lines({"Jazz Corner"}, 7));
    f.env.writeText(QStringLiteral("data/000012.ibd"), lines({"Blue Notes Club"}, 12));
    f.env.writeText(QStringLiteral("data/000300.ibd"), lines({"音楽の森", "", "URL"}, 300));
    QWidget *box = nullptr;
    // f<text> finds from the box, F is F3; the state is the number, B N, and "wrapped".
    f.run(
        "o;f３００:300 B-;fｎｏｔｅｓ:12 BN wrapped;F:12 BN wrapped;f7:7 -N wrapped;"
        "fzzz:7 -N !「zzz」は見つかりませんでした。",
        [&] {
            const QString note = box ? BrowseFixture::find<QLabel>(box, "lab_FindNote")->text() : QString();
            return f.control<QLabel>("lab_DataNumber")->text() + ' ' + f.flag("cmd_Back", 'B') + f.flag("Cmd_Next", 'N')
                + (note.isEmpty() ? "" : " wrapped");
        },
        [&](const QString &action) {
            QWidget *window = f.menu.taskWindow(f.task);
            if (action == QLatin1String("F")) {
                QTest::keyClick(window, Qt::Key_F3);
            } else {
                f.control<QAction>("Menu_Find")->trigger();
                box = window->findChild<QDialog *>("FindBox");
                QVERIFY(box && box->isVisible());
                BrowseFixture::find<QLineEdit>(box, "txt_Find")->setText(action.mid(1));
                f.click(BrowseFixture::find(box, "cmd_FindNext"));
            }
        });
}

// Table rows are laid out by hand.
// clang-format off
void TestFormShow::openLink_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("opened"); // or the message
    QTest::newRow("http") << " http://a.example/x?y=1 " << "http://a.example/x?y=1";
    for (const char *link : {"file:///etc/passwd", "ftp://a.example/x"})
        QTest::newRow(link) << link << QStringLiteral("- !http と https のアドレスだけをブラウザで開きます。 「%1」は開きません。").arg(link);
}
// clang-format on

void TestFormShow::openLink()
{
    QFETCH(QString, link);
    QFETCH(QString, opened);

    // By the menu and by a double-click on the link box alike.
    BrowseFixture f(Form_Menu::Task::Show);
    f.env.writeText(QStringLiteral("number.sdf"), lines({"7"}));
    f.env.writeText(QStringLiteral("pages.udf"), lines({"000007 A"}));
    f.env.writeText(QStringLiteral("data/000007.ibd"), lines({"A", "B", link}, 7));
    f.run(
        "o;m:" + opened + ";w:" + opened, [&] { return UrlOpener::takeOpened().value(0, "-"); },
        [&](const QString &a) {
            if (a == QLatin1String("m"))
                f.control<QAction>("Menu_Open")->trigger();
            else
                QTest::mouseDClick(f.control<QLineEdit>("txt_Link"), Qt::LeftButton);
        });
}

// The list file as read; writing is checked byte for byte through the browser, its only writer.
// Table rows are laid out by hand.
// clang-format off
void TestFormShow::read_data()
{
    QTest::addColumn<QString>("text");     // null: no file
    QTest::addColumn<QStringList>("read"); // each entry "=" the digits of the site files it names

    QTest::newRow("no file yet") << QString() << QStringList();
    QTest::newRow("file order, more entries than the count") << " 1 \r\n000012 B\r\n000007 A\r\n"
                                                             << QStringList{"000012 B=000012", "000007 A=000007"};
    QTest::newRow("comma gives two fields") << " 1 \r\n000012 Blue, Notes\r\n"
                                            << QStringList{"000012 Blue=000012", "Notes=000000"};
    QTest::newRow("kept as they stand") << "99999\r\n\r\n099999 Far\r\n-00007 Minus\r\n"
                                        << QStringList{"=000000", "099999 Far=099999", "-00007 Minus=000007"};
}
// clang-format on

void TestFormShow::read()
{
    QFETCH(QString, text);
    QFETCH(QStringList, read);

    TestEnv env;
    if (!text.isNull())
        env.writeText(QStringLiteral("pages.udf"), text);
    QStringList entries;
    for (const QString &entry : PagesFile::read(env.dir()).entries)
        entries << entry + QLatin1Char('=') + PagesFile::siteDigits(entry);
    QCOMPARE(entries, read);
}

// A site's description file as shown: its title, how many section lines, the last of them. Past the shown
// sections the lines are counted a megabyte at a time.
void TestFormShow::description_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no file
    QTest::addColumn<QString>("shown");

    const QByteArray head = "7\r\nJazz\r\nAbout\r\nURL\r\n", wide = QByteArray(1100, 'x') + "\r\n";
    QTest::newRow("no file") << QByteArray() << "|0|";
    QTest::newRow("all shown") << head + "A -> B\r\nC\r\n"
                               << "Jazz|2|C";
    QTest::newRow("a piece ends among the shown, the last line without its end")
        << head + wide.repeated(1003).chopped(2) << "Jazz|1001|（ほかに 3 行あります）";
    QTest::newRow("the rest over pieces")
        << head + QByteArray("s\r\n").repeated(1000) + QByteArray("y\r\n").repeated(400000)
        << "Jazz|1001|（ほかに 400000 行あります）";
}

void TestFormShow::description()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, shown);

    TestEnv env;
    env.makeDir(QStringLiteral("data"));
    if (!file.isNull())
        env.writeBytes(QStringLiteral("data/000007.ibd"), file);
    const DataFiles::SiteDescription site = DataFiles::readDescription(env.dir(), 7);
    QCOMPARE(
        QStringList({site.title, QString::number(site.sections.size()), site.sections.value(site.sections.size() - 1)})
            .join(QLatin1Char('|')),
        shown);
}

// Table rows are laid out by hand.
// clang-format off
void TestFormShow::pages_data()
{
    QTest::addColumn<QString>("pages");    // pages.udf; each listed site titled as its entry
    QTest::addColumn<QStringList>("iuds"); // per entry: a method code, or the whole file; empty: no file
    QTest::addColumn<QString>("steps");    // "@" stands for the dates of the file written for a code

    const QString empty = QStringLiteral("o:menu !データがありません");
    QTest::newRow("no file yet") << QString() << QStringList() << empty;
    QTest::newRow("codes 1 then 3") << "2\r\n000007 A\r\n000012 B\r\n" << QStringList{"1", " 3 "}
                                    << "o:7 -N A 1--- @;n:12 B- B --3- @;b:7 -N A 1--- @";
    QTest::newRow("codes 0, 1.5 and 5 after a valid code") << "4\r\n000001 A\r\n000002 B\r\n000003 C\r\n000004 D\r\n"
        << QStringList{"2", "0", "1.5", "5"} << "o:1 -N A -2-- @;n:2 BN B -2-- @;n:3 BN C -2-- @;n:4 B- D -2-- @";
    QTest::newRow("short and missing fields") << "3\r\n000007 A\r\n000012 B\r\n000020 C\r\n"
        << QStringList{"#2000\r\n#\r\n", "", "x2000/05/18 21:04:33 and more\r\nx2000/05/20 more\r\n3\r\n"}
        << "o:7 -N A ---- 2000|;n:12 BN B ---- |;n:20 B- C --3- @";
}
// clang-format on

void TestFormShow::pages()
{
    QFETCH(QString, pages);
    QFETCH(QStringList, iuds);
    QFETCH(QString, steps);

    BrowseFixture f(Form_Menu::Task::ShowPage);
    if (!pages.isNull())
        f.env.writeText(QStringLiteral("pages.udf"), pages);
    const QStringList entries = pages.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).mid(1);
    for (int i = 0; i < iuds.size(); ++i) {
        const QString name = QStringLiteral("data/") + entries.at(i).left(6);
        f.env.writeText(name + QStringLiteral(".ibd"), QString(entries.at(i)).replace(6, 1, "\r\n") + "\r\n");
        if (!iuds.at(i).isEmpty())
            f.env.writeText(name + QStringLiteral(".iud"),
                            iuds.at(i).contains(QLatin1Char('\n'))
                                ? iuds.at(i)
                                : QStringLiteral("#2000/05/18 21:04:33#\r\n#2000/05/20#\r\n") + iuds.at(i)
                                    + QStringLiteral("\r\n"));
    }
    f.run(QString(steps).replace(QLatin1Char('@'), QStringLiteral("2000/05/18 21:04:33|2000/05/20")),
          [&] { return pageState(f); });
    QCOMPARE(f.env.readBytes(QStringLiteral("pages.udf")), sjis(pages)); // it writes nothing
}

// The list opens newest first and marks what the latest run found; choosing a row shows its page.
void TestFormShow::list()
{
    // Page 3 has no files, page 4 a number without files and out of order.
    BrowseFixture f(Form_Menu::Task::ShowPage);
    f.env.writeText("pages.udf", "4\r\n000007 A\r\n000012 B\r\n000099 C\r\n-00003 D\r\n");
    f.env.writeText("data/000007.ibd", "7\r\nA\r\n");
    f.env.writeText("data/000007.iud", "#2000/05/18 21:04:33#\r\n#2000/05/19#\r\n1\r\n");
    f.env.writeText("data/000012.ibd", "12\r\nB\r\n");
    f.env.writeText("data/000012.iud", "#2000/05/21 10:00:00#\r\n#2000/05/21#\r\n3\r\n");
    Settings::setLatestRunFirstDay("2000/05/21");
    // Each row: new mark, number, title, last update, check date, method.
    f.run(
        "o;l:●|12|B|2000/05/21 10:00:00|2000/05/21|Header(Content...)\n"
        "|7|A|2000/05/18 21:04:33|2000/05/19|Header(Last-Modified)\n|99||||\n|-3||||;"
        "c:12 BN B --3- 2000/05/21 10:00:00|2000/05/21",
        [&] {
            auto *table = f.menu.taskWindow(f.task)->findChild<QTableWidget *>("tbl_Pages");
            if (!table || !table->isVisible())
                return pageState(f);
            QStringList texts;
            for (int r = 0; r < table->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < table->columnCount(); ++c)
                    cells << table->item(r, c)->text();
                texts << cells.join('|');
            }
            return texts.join('\n');
        },
        [&](const QString &action) {
            if (action == "l") {
                f.control<QAction>("Menu_List")->trigger();
            } else {
                auto *table = f.menu.taskWindow(f.task)->findChild<QTableWidget *>("tbl_Pages");
                table->setCurrentCell(0, 0);
                QTest::keyClick(table, Qt::Key_Return);
            }
        });
}

QTEST_MAIN(TestFormShow)
#include "tst_form_show.moc"
