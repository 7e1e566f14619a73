#include "browsefixture.h"
#include "platform/urlopener.h"
#include "store/textfile.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

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

} // namespace

class TestFormShow : public QObject
{
    Q_OBJECT

private slots:
    void browse_data();
    void browse();
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

    // Besides the fixture's actions: s<row> selects an entry, l (L: and the file) makes the directory
    // read-only. The window's state: the data number shown, previous, next and
    // delete enabled (B N D), the data numbers listed.
    const QString none;
    const QString kept = lines({"000001 kept"});
    QTest::newRow("navigation at both ends") << "3|10 20 30" << none
        << "o:10 -ND ();b:10 -ND ();n:20 BND ();n:30 B-D ();n:30 B-D ();b:20 BND ();b:10 -ND ()" << none;
    QTest::newRow("reopening after the end, an empty list written") << "3|5 6 7" << none
        << "o;n;n:7 B-D ();e:menu;o:5 -ND ();n:6 BND ()" << lines({});
    QTest::newRow("no number.sdf") << none << kept << "o:menu !データがありません" << none;
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
    QTest::newRow("written when nothing changed") << "1|3" << "7\r\n000012 B\r\n000003 音楽\r\n" << "o;e:menu"
                                                  << lines({"000003 音楽", "000012 B"});
    QTest::newRow("Page Up/Down as 前/次, Esc as 終了") << "3|10 20 30" << none
        << "o;PgUp:10 -ND ();PgDown:20 BND ();PgDown:30 B-D ();PgDown:30 B-D ();PgUp:20 BND ();a;Escape:menu"
        << lines({"000020 20 Club"});
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
    for (const QString &number : numbers)
        f.env.writeText(QStringLiteral("data/%1.ibd").arg(number.toInt(), 6, 10, QLatin1Char('0')),
                        lines({number + QStringLiteral(" Club"), QStringLiteral("About"), QStringLiteral("URL")},
                              number.toInt()));
    place(f.env, QStringLiteral("number.sdf"),
          index.contains(QLatin1Char('|')) ? lines(numbers, index.section(QLatin1Char('|'), 0, 0).toInt()) : index);
    place(f.env, QStringLiteral("pages.udf"), before);

    const auto list = [&] { return f.control<QListWidget>("List_Page"); };
    f.run(steps, [&] {
        QStringList listed;
        for (int row = 0; row < list()->count(); ++row)
            listed << QString::number(list()->item(row)->text().left(6).toInt());
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
        } else {
            QTest::keyClick(f.menu.taskWindow(f.task), action == "PgUp" ? Qt::Key_PageUp
                                                       : action == "PgDown" ? Qt::Key_PageDown : Qt::Key_Escape);
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
    f.run("o;f３００:300 B-;fｎｏｔｅｓ:12 BN wrapped;F:12 BN wrapped;f7:7 -N wrapped;"
          "fzzz:7 -N !「zzz」は見つかりませんでした。", [&] {
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
    QTest::newRow("http") << pages << " http://a.example/x?y=1 " << "http://a.example/x?y=1";
    const QString refused = QStringLiteral("- !http と https のアドレスだけをブラウザで開きます。 「%1」は開きません。");
    for (const char *link : {"file:///etc/passwd", "www.example.jp"})
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
