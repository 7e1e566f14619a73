#include "browse/pagesfile.h"
#include "browsefixture.h"
#include "platform/urlopener.h"
#include "store/textfile.h"

#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

#include <optional>

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

QStringList texts(const QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

} // namespace

class TestFormShow : public QObject
{
    Q_OBJECT

private slots:
    void browse_data();
    void browse();
    void display_data();
    void display();
    void find_data();
    void find();
    void openLink_data();
    void openLink();
};

void TestFormShow::browse_data()
{
    QTest::addColumn<QString>("index");  // number.sdf as "count|numbers"; each site titled "<number> Club"
    QTest::addColumn<QString>("before"); // pages.udf
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("after"); // pages.udf at the end; null: as before

    // Besides the fixture's actions: s<row> selects an entry, l (L: and the file) and u make the directory
    // read-only and writable again, t retitles every site. The window's state: the data number shown, previous, next and
    // delete enabled (B N D), the data numbers listed.
    const QString none;
    const QString kept = lines({"000001 kept"});
    QTest::newRow("navigation at both ends") << "3|10 20 30" << none
        << "o:10 -ND ();b:10 -ND ();n:20 BND ();n:30 B-D ();n:30 B-D ();b:20 BND ();b:10 -ND ()" << none;
    QTest::newRow("one site") << "1|10" << none << "o:10 -ND ();n:10 -ND ();b:10 -ND ()" << none;
    QTest::newRow("reopening after the end, an empty list written") << "3|5 6 7" << none
        << "o;n;n:7 B-D ();e:menu;o:5 -ND ();n:6 BND ()" << lines({});
    QTest::newRow("one number more than the count") << "2|7 12 3" << none << "o:7 -ND ();n:12 BND ();n:3 B-D ()"
                                                    << none;
    QTest::newRow("fewer numbers than the count") << "5|7 12" << none << "o:7 -ND ();n:12 B-D ()" << none;
    QTest::newRow("number beyond 16 bits skipped") << "3|7 40000 12" << none << "o:7 -ND ();n:12 B-D ()" << none;
    QTest::newRow("a blank last line is no site") << " 2 \r\n 7 \r\n 12 \r\n\r\n" << none << "o: -ND ();n: B-D ()" << none;
    QTest::newRow("no number.sdf") << none << kept << "o:menu !データがありません" << none;
    QTest::newRow("no numbers") << "0|" << kept << "o:menu !データがありません" << none;
    QTest::newRow("no number within 16 bits") << "1|70000" << kept << "o:menu !データがありません" << none;
    QTest::newRow("unreadable number.sdf") << "<dir>" << kept
        << "o:menu !ファイルを読み込めませんでした。 ~/number.sdf" << none;
    QTest::newRow("unreadable pages.udf") << "1|4" << "<dir>"
        << "o:menu !ファイルを読み込めませんでした。 ~/pages.udf" << none;
    QTest::newRow("adding a listed number, titles beginning with digits") << "2|7 12" << lines({"000012 Old Title"})
        << "o;a:7 -ND (7,12);a:7 -ND (7,12) !すでに存在しています。;n;a:12 B-D (7,12) !すでに存在しています。;e"
        << lines({"000007 7 Club", "000012 Old Title"});
    const QString five = lines({"000001 1 Club", "000007 7 Club", "000012 12 Club", "000300 300 Club",
                                "032767 32767 Club"});
    QTest::newRow("ascending: added while browsing") << "5|300 7 32767 12 1" << none
        << "o;a;n;a;n;a;n;a;n;a:1 B-D (1,7,12,300,32767);e" << five;
    QTest::newRow("ascending: added backwards") << "5|300 7 32767 12 1" << none
        << "o;n;n;n;n;a;b;a;b;a;b;a;b;a:300 -ND (1,7,12,300,32767);e" << five;
    QTest::newRow("ascending: among entries stored out of order") << "5|300 7 32767 12 1"
        << lines({"000500 Five Hundred", "000002 Two", "020000 Twenty Thousand"})
        << "o;n;n;a;b;b;a;n;n;n;n;a:1 B-D (1,2,300,500,20000,32767);e"
        << lines({"000001 1 Club", "000002 Two", "000300 300 Club", "000500 Five Hundred",
                  "020000 Twenty Thousand", "032767 32767 Club"});
    QTest::newRow("ascending: a stored entry without a number") << "2|7 12" << lines({"000008 Eight", "Notes"})
        << "o;a;n;a:12 B-D (7,8,12,0);e" << lines({"000007 7 Club", "000008 Eight", "000012 12 Club", "Notes"});
    QTest::newRow("-7 and 7 share their files") << "2|7 -7" << none << "o;a;n;a:7 B-D (7) !すでに存在しています。" << none;
    QTest::newRow("-32768 listed as 032768") << "1|-32768" << none
        << "o;a: -ND (32768);a: -ND (32768) !すでに存在しています。" << none;
    QTest::newRow("delete and its button") << "2|7 12" << lines({"000007 7 Club", "000012 12 Club"})
        << "o:7 -ND (7,12);d:7 -ND (7,12) !削除対象をクリックしてください。;s1:7 -ND (7,12);d:7 -ND (7);"
           "d:7 -ND (7) !削除対象をクリックしてください。;s0;d:7 -N- ();e;o:7 -N- ();a:7 -ND (7);e"
        << lines({"000007 7 Club"});
    QTest::newRow("an entry keeps the title it was added with") << "1|7" << none
        << "o;a;e;t;o:7 -ND (7);a:7 -ND (7) !すでに存在しています。;e:menu" << lines({"000007 7 Club"});
    QTest::newRow("written when nothing changed") << "1|3" << "7\r\n000012 B\r\n000003 音楽\r\n" << "o;e:menu"
                                                  << lines({"000003 音楽", "000012 B"});
    QTest::newRow("every entry kept, a comma quoted") << "1|3" << lines({"", "\"000003 Jazz, Blues\"", "099999 Far"})
                                                      << "o;e:menu" << QString();
    QTest::newRow("Page Up/Down as 前/次, Esc as 終了") << "3|10 20 30" << none
        << "o;PgUp:10 -ND ();PgDown:20 BND ();PgDown:30 B-D ();PgDown:30 B-D ();PgUp:20 BND ();a;Escape:menu"
        << lines({"000020 20 Club"});
    QTest::newRow("the frame's close writes like 終了") << "1|3" << none << "o;a;x:menu" << lines({"000003 3 Club"});
    // A read-only directory: the file is rewritten in place; if that fails too, a second exit leaves unsaved.
    QTest::newRow("read-only directory") << "2|3 4" << lines({"000004 4 Club"}) << "o;a;l;e:menu"
                                         << lines({"000003 3 Club", "000004 4 Club"});
    QTest::newRow("read-only directory and file") << "2|3 4" << lines({"000004 4 Club"})
        << "o;a;L;e:3 -ND (3,4) !ファイルを保存できませんでした。 ~/pages.udf;x:menu" << QString();
}

void TestFormShow::browse()
{
    QFETCH(QString, index);
    QFETCH(QString, before);
    QFETCH(QString, steps);
    QFETCH(QString, after);

    BrowseFixture f(Form_Menu::Task::Show);
    std::optional<ReadOnlyDir> readOnly;
    const QStringList numbers = index.section(QLatin1Char('|'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto writeSites = [&](const QString &title) {
        for (const QString &number : numbers)
            f.env.writeText(QStringLiteral("data/%1.ibd").arg(number.toInt(), 6, 10, QLatin1Char('0')),
                            lines({title.arg(number), QStringLiteral("About"), QStringLiteral("URL")}, number.toInt()));
    };
    writeSites(QStringLiteral("%1 Club"));
    place(f.env, QStringLiteral("number.sdf"),
          index.contains(QLatin1Char('|')) ? lines(numbers, index.section(QLatin1Char('|'), 0, 0).toInt()) : index);
    place(f.env, QStringLiteral("pages.udf"), before);

    const auto list = [&] { return f.control<QListWidget>("List_Page"); };
    f.run(steps, [&] {
        QStringList listed;
        for (const QString &entry : texts(list()))
            listed << QString::number(entry.left(6).toInt());
        return f.control<QLabel>("lab_DataNumber")->text() + QLatin1Char(' ') + f.flag("cmd_Back", 'B')
            + f.flag("Cmd_Next", 'N') + f.flag("cmd_Delete", 'D') + QStringLiteral(" (%1)").arg(listed.join(','));
    }, [&](const QString &action) {
        if (action.startsWith(QLatin1Char('s'))) {
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                              list()->visualItemRect(list()->item(action.mid(1).toInt())).center());
        } else if (action.toLower() == QLatin1String("l")) {
            // With l anyone may write the file itself: only an atomic save must fail.
            QFile::setPermissions(f.env.path(QStringLiteral("pages.udf")),
                                  QFileDevice::Permissions(action == QLatin1String("l") ? 0x6666 : 0x4444));
            readOnly.emplace(f.env.dir());
        } else if (action.startsWith(QLatin1String("P")) || action == QLatin1String("Escape")) {
            QTest::keyClick(f.menu.taskWindow(f.task), action == "PgUp" ? Qt::Key_PageUp
                                                       : action == "PgDown" ? Qt::Key_PageDown : Qt::Key_Escape);
        } else if (action == QLatin1String("u")) {
            readOnly.reset();
        } else {
            QCOMPARE(action, QStringLiteral("t"));
            writeSites(QStringLiteral("New %1"));
        }
    });
    const QString path = QStringLiteral("pages.udf");
    QCOMPARE(QFileInfo(f.env.path(path)).isDir() ? QStringLiteral("<dir>") : f.env.readText(path),
             after.isNull() ? before : after);
}

void TestFormShow::display_data()
{
    QTest::addColumn<QString>("ibd"); // data/000012.ibd; null: no file
    QTest::addColumn<QString>("shown"); // number|title|description|link|sections

    QTest::newRow("two sections") << lines({"Blue Notes", "A column", "URL-2", "Top -> Jazz", "Top"}, 12)
                                  << "12|Blue Notes|A column|URL-2|Top -> Jazz/Top";
    QTest::newRow("short file") << lines({"Blue Notes"}, 12) << "12|Blue Notes|||";
    QTest::newRow("no file") << QString() << "||||";
    const QStringList sections(1003, QStringLiteral("S"));
    QTest::newRow("1,003 sections: the first 1,000 and how many more")
        << lines(QStringList{"T", "D", "L"} + sections, 12)
        << "12|T|D|L|" + sections.mid(3).join(QLatin1Char('/')) + QStringLiteral("/（ほかに 3 行あります）");
}

void TestFormShow::display()
{
    QFETCH(QString, ibd);
    QFETCH(QString, shown);

    // Site 5 first, with sections, so that what site 12 lacks must be cleared.
    BrowseFixture f(Form_Menu::Task::Show);
    f.env.writeText(QStringLiteral("number.sdf"), lines({QStringLiteral("5"), QStringLiteral("12")}));
    f.env.writeText(QStringLiteral("data/000005.ibd"), lines({"Five", "About", "URL", "Top", "Top -> Five"}, 5));
    place(f.env, QStringLiteral("data/000012.ibd"), ibd);
    f.run("o;n:" + shown, [&] {
        return QStringList{f.control<QLabel>("lab_DataNumber")->text(), f.control<QLineEdit>("txt_Title")->text(),
                           f.control<QPlainTextEdit>("txt_Setumei")->toPlainText(),
                           f.control<QLineEdit>("txt_Link")->text(),
                           texts(f.control<QListWidget>("List_Section")).join(QLatin1Char('/'))}
            .join(QLatin1Char('|'));
    });
}

void TestFormShow::find_data()
{
    QTest::addColumn<QString>("steps"); // f<text> finds from the box, F is F3; state: number, B N, "wrapped"

    // The matching itself is SiteFinder's (tst_sitefinder); here the window's part.
    QTest::newRow("a number, a text, F3 wrapping, nothing found")
        << "o;f300:300 B-;fｎｏｔｅｓ:12 BN wrapped;F:12 BN wrapped;f7:7 -N wrapped;fzzz:7 -N !「zzz」は見つかりませんでした。";
    QTest::newRow("F3 with an empty box opens it") << "o;F:7 -N;fclub:12 BN;b;F:12 BN";
}

void TestFormShow::find()
{
    QFETCH(QString, steps);

    BrowseFixture f(Form_Menu::Task::Show);
    f.env.writeText(QStringLiteral("number.sdf"), lines({"7", "12", "300"}));
    f.env.writeText(QStringLiteral("data/000007.ibd"), lines({"Jazz Corner"}, 7));
    f.env.writeText(QStringLiteral("data/000012.ibd"), lines({"Blue Notes Club"}, 12));
    f.env.writeText(QStringLiteral("data/000300.ibd"), lines({"音楽の森", "", "URL"}, 300));
    QWidget *box = nullptr;
    f.run(steps, [&] {
        const QString note = box ? BrowseFixture::find<QLabel>(box, "lab_FindNote")->text() : QString();
        return f.control<QLabel>("lab_DataNumber")->text() + ' ' + f.flag("cmd_Back", 'B') + f.flag("Cmd_Next", 'N')
            + (note.isEmpty() ? "" : " wrapped");
    }, [&](const QString &action) {
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

void TestFormShow::openLink_data()
{
    QTest::addColumn<int>("window"); // Form_Menu::Task
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("opened"); // or the message

    const int show = int(Form_Menu::Task::Show), pages = int(Form_Menu::Task::ShowPage);
    QTest::newRow("http") << show << " http://a.example/x?y=1 " << "http://a.example/x?y=1";
    QTest::newRow("https, upper-case scheme") << pages << "HTTPS://b.example/" << "https://b.example/";
    const QString refused = QStringLiteral("- !http と https のアドレスだけをブラウザで開きます。 「%1」は開きません。");
    for (const char *link : {"file:///etc/passwd", "javascript:alert(1)", "www.example.jp", "http://", ""})
        QTest::newRow(link) << show << link << refused.arg(link);
}

void TestFormShow::openLink()
{
    QFETCH(int, window);
    QFETCH(QString, link);
    QFETCH(QString, opened);

    // By the menu and by a double-click on the link box alike.
    BrowseFixture f{Form_Menu::Task(window)};
    f.env.writeText(QStringLiteral("number.sdf"), lines({"7"}));
    f.env.writeText(QStringLiteral("pages.udf"), lines({"000007 A"}));
    f.env.writeText(QStringLiteral("data/000007.ibd"), lines({"A", "B", link}, 7));
    f.run("o;m:" + opened + ";w:" + opened, [&] { return UrlOpener::takeOpened().value(0, "-"); }, [&](const QString &a) {
        if (a == QLatin1String("m"))
            f.control<QAction>("Menu_Open")->trigger();
        else
            QTest::mouseDClick(f.control<QLineEdit>("txt_Link"), Qt::LeftButton);
    });
}

QTEST_MAIN(TestFormShow)
#include "tst_form_show.moc"
