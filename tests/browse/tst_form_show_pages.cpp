#include "browsefixture.h"
#include "remote/latestrun.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

namespace {

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

class TestFormShowPages : public QObject
{
    Q_OBJECT

private slots:
    void browse_data();
    void browse();
    void list();
};

void TestFormShowPages::browse_data()
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
          [&] { return pageState(f); });
    QCOMPARE(f.env.readBytes(QStringLiteral("pages.udf")), sjis(pages)); // it writes nothing
}

// The list opens newest first and marks what the latest run found; choosing a row shows its page.
void TestFormShowPages::list()
{
    // Page 3 has no files, page 4 a number without files and out of order.
    BrowseFixture f(Form_Menu::Task::ShowPage);
    f.env.writeText("pages.udf", "4\r\n000007 A\r\n000012 B\r\n000099 C\r\n-00003 D\r\n");
    f.env.writeText("data/000007.ibd", "7\r\nA\r\n");
    f.env.writeText("data/000007.iud", "#2000/05/18 21:04:33#\r\n#2000/05/19#\r\n1\r\n");
    f.env.writeText("data/000012.ibd", "12\r\nB\r\n");
    f.env.writeText("data/000012.iud", "#2000/05/21 10:00:00#\r\n#2000/05/21#\r\n3\r\n");
    LatestRun::setFirstDay("2000/05/21");
    // Each row: new mark, number, title, last update, check date, method.
    f.run("o;l:●|12|B|2000/05/21 10:00:00|2000/05/21|Header(Content...)\n"
          "|7|A|2000/05/18 21:04:33|2000/05/19|Header(Last-Modified)\n|99||||\n|-3||||;"
          "c:12 BN B --3- 2000/05/21 10:00:00|2000/05/21", [&] {
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
        } else {
            auto *table = f.menu.taskWindow(f.task)->findChild<QTableWidget *>("tbl_Pages");
            table->setCurrentCell(0, 0);
            QTest::keyClick(table, Qt::Key_Return);
        }
    });
}

QTEST_MAIN(TestFormShowPages)
#include "tst_form_show_pages.moc"
