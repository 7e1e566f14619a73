#include "browsefixture.h"
#include "platform/settings.h"
#include "servers.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>

namespace {

// The window's state: data number, previous and next enabled (B N), title, the method indicators (the
// option's digit when selected and enabled, "-" when neither, "c" selected only, "+" enabled only), then the
// last update and the check date.
QString pageState(BrowseFixture &f)
{
    QString marks;
    for (const char *name : {"Option1", "Option2", "Option3", "Option4"}) {
        QAbstractButton *option = f.control(name);
        marks += option->isChecked() ? (option->isEnabled() ? QLatin1Char(name[6]) : QLatin1Char('c'))
                                     : (option->isEnabled() ? QLatin1Char('+') : QLatin1Char('-'));
    }
    return QStringList{f.control<QLabel>("lab_DataNumber")->text(), f.flag("cmd_Back", 'B') + f.flag("Cmd_Next", 'N'),
                       f.control<QLineEdit>("txt_Title")->text(), marks,
                       f.control<QLabel>("lab_LastModified")->text() + '|' + f.control<QLabel>("lab_Kakunin")->text()}
        .join(QLatin1Char(' '));
}

} // namespace

class TestFormShowPages : public QObject
{
    Q_OBJECT

private slots:
    void browse_data();
    void browse();
    void list_data();
    void list();
    void endToEnd();
};

void TestFormShowPages::browse_data()
{
    QTest::addColumn<QString>("pages");    // pages.udf; each listed site titled as its entry
    QTest::addColumn<QStringList>("iuds"); // per entry: a method code, or the whole file; empty: no file
    QTest::addColumn<QString>("steps");    // "@" stands for the dates of the file written for a code

    const QString empty = QStringLiteral("o:menu !データがありません");
    QTest::newRow("no file yet") << QString() << QStringList() << empty;
    QTest::newRow("empty list") << "0\r\n" << QStringList() << empty;
    QTest::newRow("no entry with a 16-bit number") << "2\r\nJazz\r\n040000 Big\r\n" << QStringList() << empty;
    QTest::newRow("single entry") << "1\r\n000007 Jazz\r\n" << QStringList{"1"}
                                  << "o:7 -N Jazz 1--- @;n:7 -N Jazz 1--- @;b:7 -N Jazz 1--- @";
    QTest::newRow("codes 1 then 3") << "2\r\n000007 A\r\n000012 B\r\n" << QStringList{"1", " 3 "}
                                    << "o:7 -N A 1--- @;n:12 B- B --3- @;b:7 -N A 1--- @";
    QTest::newRow("codes 0 and 5 after start-up") << "2\r\n000007 A\r\n000012 B\r\n" << QStringList{"0", "5"}
                                                  << "o:7 -N A ---- @;n:12 B- B ---- @";
    QTest::newRow("codes 0, 1.5 and 5 after a valid code") << "4\r\n000001 A\r\n000002 B\r\n000003 C\r\n000004 D\r\n"
        << QStringList{"2", "0", "1.5", "5"} << "o:1 -N A -2-- @;n:2 BN B -2-- @;n:3 BN C -2-- @;n:4 B- D -2-- @";
    QTest::newRow("title starting with digits") << "1\r\n000012 1999年のジャズ\r\n" << QStringList{"4"}
                                                << "o:12 -N 1999年のジャズ ---4 @";
    QTest::newRow("short and missing fields") << "3\r\n000007 A\r\n000012 B\r\n000020 C\r\n"
        << QStringList{"#2000\r\n#\r\n", "", "x2000/05/18 21:04:33 and more\r\nx2000/05/20 more\r\n3\r\n"}
        << "o:7 -N A ---- 2000|;n:12 BN B ---- |;n:20 B- C --3- @";
    QTest::newRow("Page Up/Down as 前/次, Esc as 終了") << "2\r\n000007 A\r\n000012 B\r\n" << QStringList{"1", "3"}
        << "o;PgUp:7 -N A 1--- @;PgDown:12 B- B --3- @;PgDown:12 B- B --3- @;PgUp:7 -N A 1--- @;Escape:menu";
    QTest::newRow("both ends, the frame's close, reopening") << "2\r\n000007 A\r\n000012 B\r\n" << QStringList{"0", "3"}
        << "o:7 -N A ---- @;b:7 -N A ---- @;n:12 B- B --3- @;n:12 B- B --3- @;x:menu;o:7 -N A --3- @;e:menu";
}

void TestFormShowPages::browse()
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
            f.env.writeText(name + QStringLiteral(".iud"), iuds.at(i).contains(QLatin1Char('\n')) ? iuds.at(i)
                : QStringLiteral("#2000/05/18 21:04:33#\r\n#2000/05/20#\r\n") + iuds.at(i) + QStringLiteral("\r\n"));
    }
    f.run(QString(steps).replace(QLatin1Char('@'), QStringLiteral("2000/05/18 21:04:33|2000/05/20")),
          [&] { return pageState(f); }, [&](const QString &key) {
        QTest::keyClick(f.menu.taskWindow(f.task), key == "PgUp" ? Qt::Key_PageUp
                                                   : key == "PgDown" ? Qt::Key_PageDown : Qt::Key_Escape);
    });
    QCOMPARE(f.env.readBytes(QStringLiteral("pages.udf")), sjis(pages)); // it writes nothing
    // A value label reads out its value; the method options sit on white.
    for (QLabel *label : f.menu.taskWindow(f.task)->findChildren<QLabel *>(QRegularExpression("^lab_")))
        QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), label->text());
    QWidget *option = f.control("Option3");
    QCOMPARE(option->grab().toImage().pixelColor(option->width() - 1, 0), QColor(Qt::white));
}

void TestFormShowPages::list_data()
{
    QTest::addColumn<QString>("latestRun"); // the first day of the latest download run
    QTest::addColumn<int>("sortBy");        // -1: as it opens
    QTest::addColumn<QString>("rows");      // a line each: new mark, number, title, last update, check date, method
    QTest::addColumn<QString>("chosen");    // the window after choosing the first row

    const QString byUpdate = "●|12|B|2000/05/21 10:00:00|2000/05/21|Header(Content...)\n"
                             "|7|A|2000/05/18 21:04:33|2000/05/19|Header(Last-Modified)\n|99||||\n|-3||||";
    const QString twelve = "12 BN B --3- 2000/05/21 10:00:00|2000/05/21";
    QTest::newRow("newest first, news marked") << "2000/05/21" << -1 << byUpdate << twelve;
    QTest::newRow("no download yet") << "" << -1 << QString(byUpdate).remove("●") << twelve;
    QTest::newRow("by data number, as numbers") << "2000/05/19" << 1
        << "|-3||||\n●|7|A|2000/05/18 21:04:33|2000/05/19|Header(Last-Modified)\n●|12|B|2000/05/21 10:00:00|2000/05/21|"
           "Header(Content...)\n|99||||" << " B-  1--- |";
}

void TestFormShowPages::list()
{
    QFETCH(QString, latestRun);
    QFETCH(int, sortBy);
    QFETCH(QString, rows);
    QFETCH(QString, chosen);

    // Page 3 has no files, page 4 a number without files and out of order.
    BrowseFixture f(Form_Menu::Task::ShowPage);
    f.env.writeText("pages.udf", "4\r\n000007 A\r\n000012 B\r\n000099 C\r\n-00003 D\r\n");
    f.env.writeText("data/000007.ibd", "7\r\nA\r\n");
    f.env.writeText("data/000007.iud", "#2000/05/18 21:04:33#\r\n#2000/05/19#\r\n1\r\n");
    f.env.writeText("data/000012.ibd", "12\r\nB\r\n");
    f.env.writeText("data/000012.iud", "#2000/05/21 10:00:00#\r\n#2000/05/21#\r\n3\r\n");
    if (!latestRun.isEmpty())
        Settings::setLatestRunFirstDay(latestRun);
    f.run("o;l:" + rows + ";c:" + chosen, [&] {
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
    }, [&](const QString &action) {
        if (action == "l") {
            f.control<QAction>("Menu_List")->trigger();
            if (sortBy >= 0)
                f.menu.taskWindow(f.task)->findChild<QTableWidget *>("tbl_Pages")->sortItems(sortBy);
        } else {
            auto *table = f.menu.taskWindow(f.task)->findChild<QTableWidget *>("tbl_Pages");
            table->setCurrentCell(0, 0);
            QTest::keyClick(table, Qt::Key_Return);
        }
    });
}

void TestFormShowPages::endToEnd()
{
    WebServer web;
    const QString why = web.start();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));

    // The worked example's delivered data set, and a day's page that lists site 12 in red.
    BrowseFixture f(Form_Menu::Task::ShowPage);
    f.env.writeText(QStringLiteral("all-info.idf"),
                    QStringLiteral("2000/05/20\r\n3\r\n2\r\n2\r\n3\r\n0,Top\r\n1,Music\r\n2,Jazz\r\n\"<END>\"\r\n"
                                   "0,1\r\n1,2\r\n\"<END>\"\r\n"
                                   "7,Jazz Corner,Reviews of new records,http://a.example/\r\n"
                                   "12,Blue Notes,A weekly column,http://b.example/\r\n\"<END>\"\r\n"
                                   "7,2\r\n12,2\r\n12,1\r\n\"<END>\"\r\n"));
    f.env.writeText(QStringLiteral("update.idf"),
                    QStringLiteral("2000/05/20\r\n7,#2000/05/18 21:04:33#,#2000/05/20#,1\r\n"
                                   "12,#2000/05/19 08:15:00#,#2000/05/20#,4\r\n"));
    f.env.writeText(QStringLiteral("url.dat"), web.url() + QStringLiteral("\r\n\r\n"));
    web.writeFile(QStringLiteral("20000520.html"),
                  sjis(QStringLiteral("<HTML><BODY>更新<BR><FONT COLOR='#FF0000'>ブルー (12)</FONT> "
                                      "<FONT Size=2>2000/05/20 07:30:00</FONT><BR></BODY></HTML>")));

    // Build, add both sites in the browser, download the day's page, then look.
    f.open(Form_Menu::Task::SetFile);
    f.click(BrowseFixture::find(f.menu.taskWindow(Form_Menu::Task::SetFile), "cmd_End"));
    f.task = Form_Menu::Task::Show;
    f.run("o;a;n;a;e:menu", [] { return QString(); });
    f.click(BrowseFixture::find(&f.menu, "cmd_Update"));
    TaskWindow *update = f.menu.taskWindow(Form_Menu::Task::Update);
    QTRY_VERIFY_WITH_TIMEOUT(BrowseFixture::find(update, "cmd_OK")->isEnabled(), 20000);
    QVERIFY(BrowseFixture::find<QPlainTextEdit>(update, "txt_Condition")->toPlainText().contains("000012 終了"));
    f.click(BrowseFixture::find(update, "cmd_OK"));
    QCOMPARE(f.env.setting("Download", "LatestRunFirstDay"), "2000/05/20"); // the list's news begin here
    f.task = Form_Menu::Task::ShowPage;
    f.run("o:7 -N Jazz Corner 1--- 2000/05/18 21:04:33|2000/05/20;"
          "n:12 B- Blue Notes --3- 2000/05/20 07:30:00|2000/05/20",
          [&] { return pageState(f); });
}

QTEST_MAIN(TestFormShowPages)
#include "tst_form_show_pages.moc"
