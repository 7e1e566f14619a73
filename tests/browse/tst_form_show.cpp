#include "app/form_menu.h"
#include "browse/form_show.h"
#include "browse/pagesfile.h"
#include "platform/messagebox.h"
#include "store/textfile.h"
#include "testenv.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Site
{
    int number;
    QString title;
    QStringList sections;
};

QString numberLine(int value)
{
    return TextRules::numberLine(value) + QStringLiteral("\r\n");
}

void writeSite(const TestEnv &env, const Site &site)
{
    QString text = numberLine(site.number) + site.title + QStringLiteral("\r\nAbout ") + site.title
        + QStringLiteral("\r\nhttp://example.invalid/") + QString::number(site.number) + QStringLiteral("\r\n");
    for (const QString &section : site.sections)
        text += section + QStringLiteral("\r\n");
    env.makeDir(QStringLiteral("data"));
    env.writeText(QStringLiteral("data/%1.ibd").arg(site.number, 6, 10, QLatin1Char('0')), text);
}

// number.sdf with its count line right, and a description file per site.
void writeSites(const TestEnv &env, const QList<Site> &sites)
{
    QString index = numberLine(int(sites.size()));
    for (const Site &site : sites) {
        index += numberLine(site.number);
        writeSite(env, site);
    }
    env.writeText(QStringLiteral("number.sdf"), index);
}

QList<Site> numberedSites(const QList<int> &numbers)
{
    QList<Site> sites;
    for (int number : numbers)
        sites.append({number, QStringLiteral("Site %1").arg(number), {}});
    return sites;
}

QStringList itemTexts(const QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

// The menu with the browser behind its "データの表示" button.
class Browser
{
public:
    Browser() { menu.show(); }
    ~Browser() { delete window(); }

    Form_Show *window() { return static_cast<Form_Show *>(menu.taskWindow(Form_Menu::Task::Show)); }

    void open()
    {
        QSignalSpy done(window(), &TaskWindow::activationDone);
        QTest::mouseClick(menu.Cmd_Show, Qt::LeftButton);
        QTRY_COMPARE(done.count(), 1);
    }

    template<typename T>
    T *control(const char *name)
    {
        T *found = window()->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

    QPushButton *button(const char *name) { return control<QPushButton>(name); }
    QListWidget *pages() { return control<QListWidget>("List_Page"); }
    QString shownNumber() { return control<QLabel>("lab_DataNumber")->text(); }
    QString shownTitle() { return control<QLineEdit>("txt_Title")->text(); }

    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void next(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            click("Cmd_Next");
    }
    void select(int row)
    {
        QListWidget *list = pages();
        const QRect place = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
    }
    void goTo(int position)
    {
        while (button("cmd_Back")->isEnabled())
            click("cmd_Back");
        next(position - 1);
    }
    void end() { control<QAction>("Menu_End")->trigger(); }
    bool atMenu() { return menu.isVisible() && !window()->isVisible(); }

    Form_Menu menu;
};

} // namespace

class TestFormShow : public QObject
{
    Q_OBJECT

private slots:
    void navigation_data();
    void navigation();
    void reopenAfterReachingTheEnd();
    void displaySite_data();
    void displaySite();
    void siteNumbers_data();
    void siteNumbers();
    void noData_data();
    void noData();
    void unreadableFile_data();
    void unreadableFile();
    void addSameNumberTwice();
    void ascendingWhateverTheOrder_data();
    void ascendingWhateverTheOrder();
    void deleteAndButtonState();
    void entryKeepsItsTitle();
    void writtenOnLeaving_data();
    void writtenOnLeaving();
    void frameCloseLeavesLikeExit();
    void saveFailureKeepsTheList();
};

void TestFormShow::navigation_data()
{
    QTest::addColumn<int>("sites");
    QTest::addColumn<QString>("clicks"); // N next, B previous
    QTest::addColumn<int>("shown");      // position, from 1
    QTest::addColumn<bool>("backEnabled");
    QTest::addColumn<bool>("nextEnabled");

    QTest::newRow("activation") << 3 << "" << 1 << false << true;
    QTest::newRow("previous at the first") << 3 << "B" << 1 << false << true;
    QTest::newRow("next to the last") << 3 << "NN" << 3 << true << false;
    QTest::newRow("next at the last") << 3 << "NNN" << 3 << true << false;
    QTest::newRow("previous from the last") << 3 << "NNNB" << 2 << true << true;
    QTest::newRow("previous to the first") << 3 << "NNBB" << 1 << false << true;
    QTest::newRow("one site, next") << 1 << "NN" << 1 << false << true;
    QTest::newRow("one site, previous") << 1 << "B" << 1 << false << true;
}

void TestFormShow::navigation()
{
    QFETCH(int, sites);
    QFETCH(QString, clicks);
    QFETCH(int, shown);
    QFETCH(bool, backEnabled);
    QFETCH(bool, nextEnabled);

    // Data numbers 10, 20, 30... so that a position is never its number.
    QList<int> numbers;
    for (int k = 1; k <= sites; ++k)
        numbers.append(10 * k);
    TestEnv env;
    writeSites(env, numberedSites(numbers));
    Browser browser;
    browser.open();
    for (QChar c : clicks)
        browser.click(c == QLatin1Char('N') ? "Cmd_Next" : "cmd_Back");

    QCOMPARE(browser.shownNumber(), QString::number(10 * shown));
    QCOMPARE(browser.shownTitle(), QStringLiteral("Site %1").arg(10 * shown));
    QCOMPARE(browser.button("cmd_Back")->isEnabled(), backEnabled);
    QCOMPARE(browser.button("Cmd_Next")->isEnabled(), nextEnabled);
    QVERIFY(browser.window()->isVisible());
}

void TestFormShow::reopenAfterReachingTheEnd()
{
    TestEnv env;
    writeSites(env, numberedSites({5, 6, 7}));
    Browser browser;
    browser.open();
    browser.next(2);
    QCOMPARE(browser.shownNumber(), QStringLiteral("7"));
    browser.end();
    QVERIFY(browser.atMenu());

    browser.open();
    QCOMPARE(browser.shownNumber(), QStringLiteral("5"));
    QVERIFY(!browser.button("cmd_Back")->isEnabled());
    QVERIFY(browser.button("Cmd_Next")->isEnabled());
    browser.next();
    QCOMPARE(browser.shownNumber(), QStringLiteral("6"));
}

void TestFormShow::displaySite_data()
{
    QTest::addColumn<QString>("ibd"); // data/000012.ibd; empty: no file
    QTest::addColumn<QStringList>("shown"); // number, title, description, link
    QTest::addColumn<QStringList>("sections");

    QTest::newRow("two sections")
        << QStringLiteral(" 12 \r\nBlue Notes\r\nA weekly column\r\nURL-2\r\nTop -> Music -> Jazz\r\nTop -> Music\r\n")
        << QStringList{"12", "Blue Notes", "A weekly column", "URL-2"}
        << QStringList{"Top -> Music -> Jazz", "Top -> Music"};
    QTest::newRow("no sections") << QStringLiteral(" 12 \r\nBlue Notes\r\nA weekly column\r\nURL-2\r\n")
                                 << QStringList{"12", "Blue Notes", "A weekly column", "URL-2"} << QStringList();
    QTest::newRow("short file") << QStringLiteral(" 12 \r\nBlue Notes\r\n")
                                << QStringList{"12", "Blue Notes", "", ""} << QStringList();
    QTest::newRow("no file") << QString() << QStringList{"", "", "", ""} << QStringList();
}

void TestFormShow::displaySite()
{
    QFETCH(QString, ibd);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, sections);

    TestEnv env;
    // Site 5 first, with sections, so that what the next site lacks must be cleared.
    writeSites(env, {{5, QStringLiteral("Five"), {QStringLiteral("Top"), QStringLiteral("Top -> Five")}}});
    env.writeText(QStringLiteral("number.sdf"), QStringLiteral(" 2 \r\n 5 \r\n 12 \r\n"));
    if (!ibd.isNull())
        env.writeText(QStringLiteral("data/000012.ibd"), ibd);

    Browser browser;
    browser.open();
    QCOMPARE(browser.control<QListWidget>("List_Section")->count(), 2);
    browser.next();
    QCOMPARE(browser.shownNumber(), shown.at(0));
    QCOMPARE(browser.shownTitle(), shown.at(1));
    QCOMPARE(browser.control<QPlainTextEdit>("txt_Setumei")->toPlainText(), shown.at(2));
    QCOMPARE(browser.control<QLineEdit>("txt_Link")->text(), shown.at(3));
    QCOMPARE(itemTexts(browser.control<QListWidget>("List_Section")), sections);
}

void TestFormShow::siteNumbers_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QStringList>("shown"); // paging from the first to the last

    QTest::newRow("count agrees") << QStringLiteral(" 3 \r\n 7 \r\n 12 \r\n 3 \r\n") << QStringList{"7", "12", "3"};
    QTest::newRow("one number more than the count")
        << QStringLiteral(" 2 \r\n 7 \r\n 12 \r\n 3 \r\n") << QStringList{"7", "12", "3"};
    QTest::newRow("fewer numbers than the count") << QStringLiteral(" 5 \r\n 7 \r\n 12 \r\n") << QStringList{"7", "12"};
    QTest::newRow("number beyond 16 bits skipped")
        << QStringLiteral(" 3 \r\n 7 \r\n 40000 \r\n 12 \r\n") << QStringList{"7", "12"};
}

void TestFormShow::siteNumbers()
{
    QFETCH(QString, index);
    QFETCH(QStringList, shown);

    TestEnv env;
    for (int number : {3, 7, 12})
        writeSite(env, {number, QStringLiteral("Site %1").arg(number), {}});
    env.writeText(QStringLiteral("number.sdf"), index);

    Browser browser;
    browser.open();
    QStringList seen{browser.shownNumber()};
    while (browser.button("Cmd_Next")->isEnabled() && seen.size() <= shown.size()) {
        browser.next();
        seen.append(browser.shownNumber());
    }
    QCOMPARE(seen, shown);
    QVERIFY(MessageBox::takeRecorded().isEmpty());
}

void TestFormShow::noData_data()
{
    QTest::addColumn<QString>("index"); // null: no number.sdf

    QTest::newRow("no number.sdf") << QString();
    QTest::newRow("count alone") << QStringLiteral(" 0 \r\n");
    QTest::newRow("only numbers beyond 16 bits") << QStringLiteral(" 1 \r\n 70000 \r\n");
}

void TestFormShow::noData()
{
    QFETCH(QString, index);

    TestEnv env;
    env.makeDir(QStringLiteral("data"));
    if (!index.isNull())
        env.writeText(QStringLiteral("number.sdf"), index);
    env.writeText(QStringLiteral("pages.udf"), QStringLiteral(" 1 \r\n000001 kept\r\n"));

    Browser browser;
    browser.open();
    QCOMPARE(MessageBox::takeRecorded(), QStringList{QStringLiteral("データがありません")});
    QVERIFY(browser.atMenu());
    // Nothing was loaded, so nothing was written either.
    QCOMPARE(env.readText(QStringLiteral("pages.udf")), QStringLiteral(" 1 \r\n000001 kept\r\n"));

    // Once there is data the browser opens normally.
    writeSites(env, numberedSites({4}));
    browser.open();
    QVERIFY(MessageBox::takeRecorded().isEmpty());
    QVERIFY(browser.window()->isVisible());
    QCOMPARE(browser.shownNumber(), QStringLiteral("4"));
    QCOMPARE(itemTexts(browser.pages()), QStringList{QStringLiteral("000001 kept")});
}

void TestFormShow::unreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("number.sdf") << QStringLiteral("number.sdf");
    QTest::newRow("pages.udf") << QStringLiteral("pages.udf");
}

void TestFormShow::unreadableFile()
{
    QFETCH(QString, name);

    TestEnv env;
    writeSites(env, numberedSites({4}));
    QFile::remove(env.path(name));
    env.makeDir(name);

    Browser browser;
    browser.open();
    const QStringList shown = MessageBox::takeRecorded();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.at(0).startsWith(QStringLiteral("ファイルを読み込めませんでした。")));
    QVERIFY(shown.at(0).contains(QDir::toNativeSeparators(env.path(name))));
    QVERIFY(browser.atMenu());
}

void TestFormShow::addSameNumberTwice()
{
    TestEnv env;
    writeSites(env, {{7, QStringLiteral("Jazz Corner"), {}}, {12, QStringLiteral("Blue Notes"), {}}});
    // Listed under an older title: only the number counts.
    env.writeText(QStringLiteral("pages.udf"), QStringLiteral(" 1 \r\n000012 Old Title\r\n"));

    Browser browser;
    browser.open();
    browser.click("cmd_Add");
    QVERIFY(MessageBox::takeRecorded().isEmpty());
    const QStringList listed{QStringLiteral("000007 Jazz Corner"), QStringLiteral("000012 Old Title")};
    QCOMPARE(itemTexts(browser.pages()), listed);

    browser.click("cmd_Add");
    QCOMPARE(MessageBox::takeRecorded(), QStringList{QStringLiteral("すでに存在しています。")});
    browser.next();
    browser.click("cmd_Add");
    QCOMPARE(MessageBox::takeRecorded(), QStringList{QStringLiteral("すでに存在しています。")});
    QCOMPARE(itemTexts(browser.pages()), listed);
    QCOMPARE(browser.shownTitle(), QStringLiteral("Blue Notes"));
}

void TestFormShow::ascendingWhateverTheOrder_data()
{
    QTest::addColumn<QString>("listed");  // pages.udf entries as stored, "|"-separated
    QTest::addColumn<QList<int>>("added"); // positions added, in this order

    // Sites at positions 1..5 have data numbers 300, 7, 32767, 12, 1.
    QTest::newRow("browsing order") << QString() << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("backwards") << QString() << QList<int>{5, 4, 3, 2, 1};
    QTest::newRow("among stored entries, stored out of order")
        << QStringLiteral("000500 Five Hundred|000002 Two|020000 Twenty Thousand") << QList<int>{3, 1, 5};
    QTest::newRow("stored entry without a number")
        << QStringLiteral("000008 Eight|Notes") << QList<int>{2, 4};
}

void TestFormShow::ascendingWhateverTheOrder()
{
    QFETCH(QString, listed);
    QFETCH(QList<int>, added);

    TestEnv env;
    writeSites(env, numberedSites({300, 7, 32767, 12, 1}));
    QStringList stored = listed.isEmpty() ? QStringList() : listed.split(QLatin1Char('|'));
    QString file = numberLine(int(stored.size()));
    for (const QString &entry : stored)
        file += entry + QStringLiteral("\r\n");
    env.writeText(QStringLiteral("pages.udf"), file);

    Browser browser;
    browser.open();
    QStringList expected = stored;
    for (int position : added) {
        browser.goTo(position);
        expected.append(PagesFile::entry(browser.shownNumber().toShort(), browser.shownTitle()));
        browser.click("cmd_Add");
    }
    QVERIFY(MessageBox::takeRecorded().isEmpty());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(itemTexts(browser.pages()), expected);

    browser.end();
    QVERIFY(browser.atMenu());
    QString written = numberLine(int(expected.size()));
    for (const QString &entry : std::as_const(expected))
        written += entry + QStringLiteral("\r\n");
    QCOMPARE(env.readBytes(QStringLiteral("pages.udf")), sjis(written));
}

void TestFormShow::deleteAndButtonState()
{
    TestEnv env;
    writeSites(env, numberedSites({7, 12}));
    env.writeText(QStringLiteral("pages.udf"), QStringLiteral(" 2 \r\n000007 Site 7\r\n000012 Site 12\r\n"));

    Browser browser;
    browser.open();
    QPushButton *del = browser.button("cmd_Delete");
    browser.click("cmd_Delete");
    QCOMPARE(MessageBox::takeRecorded(), QStringList{QStringLiteral("削除対象をクリックしてください。")});
    QCOMPARE(browser.pages()->count(), 2);

    browser.select(1);
    QCOMPARE(browser.shownNumber(), QStringLiteral("7")); // selecting only marks
    browser.click("cmd_Delete");
    QVERIFY(MessageBox::takeRecorded().isEmpty());
    QCOMPARE(itemTexts(browser.pages()), QStringList{QStringLiteral("000007 Site 7")});
    QVERIFY(del->isEnabled());

    // The removed entry's mark does not pass to its neighbour.
    browser.click("cmd_Delete");
    QCOMPARE(MessageBox::takeRecorded(), QStringList{QStringLiteral("削除対象をクリックしてください。")});
    QCOMPARE(browser.pages()->count(), 1);

    browser.select(0);
    browser.click("cmd_Delete");
    QCOMPARE(browser.pages()->count(), 0);
    QVERIFY(!del->isEnabled());

    // Disabled across a visit, until the next add.
    browser.end();
    QCOMPARE(env.readBytes(QStringLiteral("pages.udf")), QByteArray(" 0 \r\n"));
    browser.open();
    QVERIFY(!del->isEnabled());
    QVERIFY(browser.button("cmd_Add")->isEnabled());
    browser.click("cmd_Add");
    QVERIFY(del->isEnabled());
    QCOMPARE(itemTexts(browser.pages()), QStringList{QStringLiteral("000007 Site 7")});
}

void TestFormShow::entryKeepsItsTitle()
{
    TestEnv env;
    writeSites(env, {{7, QStringLiteral("Jazz Corner"), {}}});

    Browser browser;
    browser.open();
    browser.click("cmd_Add");
    browser.end();

    writeSite(env, {7, QStringLiteral("Renamed Corner"), {}});
    browser.open();
    QCOMPARE(browser.shownTitle(), QStringLiteral("Renamed Corner"));
    QCOMPARE(itemTexts(browser.pages()), QStringList{QStringLiteral("000007 Jazz Corner")});
    browser.click("cmd_Add");
    QCOMPARE(MessageBox::takeRecorded(), QStringList{QStringLiteral("すでに存在しています。")});
}

void TestFormShow::writtenOnLeaving_data()
{
    QTest::addColumn<QString>("before"); // null: no pages.udf
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("no file yet: empty list") << QString() << QByteArray(" 0 \r\n");
    QTest::newRow("count and order put right")
        << QStringLiteral("7\r\n000012 B\r\n000003 A\r\n") << QByteArray(" 2 \r\n000003 A\r\n000012 B\r\n");
    QTest::newRow("unchanged") << QStringLiteral(" 1 \r\n000003 音楽\r\n") << sjis(QStringLiteral(" 1 \r\n000003 音楽\r\n"));
}

void TestFormShow::writtenOnLeaving()
{
    QFETCH(QString, before);
    QFETCH(QByteArray, after);

    TestEnv env;
    writeSites(env, numberedSites({3}));
    if (!before.isNull())
        env.writeText(QStringLiteral("pages.udf"), before);

    Browser browser;
    browser.open();
    browser.end();
    QVERIFY(browser.atMenu());
    QCOMPARE(env.readBytes(QStringLiteral("pages.udf")), after);
}

void TestFormShow::frameCloseLeavesLikeExit()
{
    TestEnv env;
    writeSites(env, numberedSites({3}));

    Browser browser;
    browser.open();
    browser.click("cmd_Add");
    QVERIFY(!browser.window()->close()); // the window stays, hidden
    QVERIFY(browser.atMenu());
    QCOMPARE(env.readBytes(QStringLiteral("pages.udf")), QByteArray(" 1 \r\n000003 Site 3\r\n"));
}

void TestFormShow::saveFailureKeepsTheList()
{
    TestEnv env;
    writeSites(env, numberedSites({3, 4}));
    const QByteArray old(" 1 \r\n000004 Site 4\r\n");
    env.writeBytes(QStringLiteral("pages.udf"), old);

    Browser browser;
    browser.open();
    browser.click("cmd_Add");
    const QStringList listed{QStringLiteral("000003 Site 3"), QStringLiteral("000004 Site 4")};
    {
        ReadOnlyDir readOnly(env.dir());
        browser.end();
        const QStringList shown = MessageBox::takeRecorded();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.at(0).startsWith(MessageBox::cannotSaveText(env.path(QStringLiteral("pages.udf")), QString())));
        QVERIFY(browser.window()->isVisible());
        QVERIFY(!browser.menu.isVisible());
        QCOMPARE(itemTexts(browser.pages()), listed);
        QVERIFY(!browser.window()->close());
        QCOMPARE(MessageBox::takeRecorded().size(), 1);
        QVERIFY(browser.window()->isVisible());
    }
    QCOMPARE(env.readBytes(QStringLiteral("pages.udf")), old);

    // Once the directory can be written again, leaving saves what was kept.
    browser.end();
    QVERIFY(browser.atMenu());
    QCOMPARE(env.readBytes(QStringLiteral("pages.udf")), QByteArray(" 2 \r\n000003 Site 3\r\n000004 Site 4\r\n"));
}

QTEST_MAIN(TestFormShow)
#include "tst_form_show.moc"
