#include "browse/pagesfile.h"
#include "browse/pagesoverview.h"
#include "browse/sitefinder.h"
#include "store/datafiles.h"
#include "testenv.h"

#include <QFile>
#include <QTest>

class TestBrowse : public QObject
{
    Q_OBJECT

private slots:
    void readPages();
    void writePages();
    void find_data();
    void find();
    void overview();
    void siteNumbers();
    void description_data();
    void description();
};

// pages.udf not saved yet holds no entries; one that is keeps its entries as they stand, in file order, past its
// count. An entry names the page of its leading number, and the site files of that number without its sign.
void TestBrowse::readPages()
{
    TestEnv env;
    QCOMPARE(PagesFile::read(env.dir()).entries, QStringList());
    env.writeBytes("pages.udf", textLines({" 1 ", "000012 B", "", "-00007 Minus", "000007 Plus"}));
    const PagesFile::Contents contents = PagesFile::read(env.dir());
    QCOMPARE(contents.count, 1);
    QCOMPARE(contents.entries, QStringList({"000012 B", "", "-00007 Minus", "000007 Plus"}));
    QCOMPARE(PagesFile::pageNumbers(contents.entries), QList<qint16>({12, -7, 7}));
    QStringList digits;
    for (const QString &entry : contents.entries)
        digits << PagesFile::siteDigits(entry);
    QCOMPARE(digits, QStringList({"000012", "000000", "000007", "000007"}));
}

// Written sorted and counted, a comma quoted; where the directory refuses a new file, rewritten in place.
void TestBrowse::writePages()
{
    TestEnv env;
    PagesFile::write(env.dir(), {"000012 B", "000007 Jazz, Blues", "000300 C"});
    QCOMPARE(env.readBytes("pages.udf"), textLines({" 3 ", "\"000007 Jazz, Blues\"", "000012 B", "000300 C"}));
    QFile::setPermissions(env.path("pages.udf"), QFileDevice::Permissions(0x6666));
    {
        ReadOnlyDir readOnly(env.dir());
        PagesFile::write(env.dir(), {"000003 C"});
    }
    QCOMPARE(env.readBytes("pages.udf"), textLines({" 1 ", "000003 C"}));
}

// Table rows are laid out by hand.
// clang-format off
void TestBrowse::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from"); // the position shown
    QTest::addColumn<int>("found"); // 0: nothing
    QTest::addColumn<bool>("wrapped");

    QTest::newRow("a data number in full-width digits") << "３００" << 0 << 3 << false;
    QTest::newRow("a data number before the position")  << "7"      << 2 << 1 << true;
    QTest::newRow("case folded")                         << "JAZZ"   << 0 << 1 << false;
}
// clang-format on

// The browser's find: positions count from 1 in the order of number.sdf.
void TestBrowse::find()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(int, found);
    QFETCH(bool, wrapped);
    TestEnv env;
    env.makeDir("data");
    env.writeBytes("number.sdf", textLines({"3", "7", "12", "300"}));
    env.writeBytes("data/000007.ibd", textLines({"7", "Jazz Corner"}));
    const SiteFinder::Result result = SiteFinder(env.dir()).find(text, from);
    QCOMPARE(QList<int>({result.position, result.wrapped}), QList<int>({found, wrapped}));
}

// The list of all pages of interest: a row per page, empty cells for missing files, new where marked.
void TestBrowse::overview()
{
    TestEnv env;
    env.makeDir("data");
    for (const QStringList &page : {QStringList{"7", "A", "2000/05/18 21:04:33", "2000/05/19", "1"},
                                    QStringList{"12", "B", "2000/05/21 10:00:00", "2000/05/20", "3"},
                                    QStringList{"20", "C", "2000/05/21 10:00:00", "2000/05/21", "1.5"}}) {
        const QString file = QStringLiteral("data/%1").arg(page[0].toInt(), 6, 10, QLatin1Char('0'));
        env.writeBytes(file + ".ibd", textLines(page.mid(0, 2)));
        env.writeBytes(file + ".iud", textLines({'#' + page[2] + '#', '#' + page[3] + '#', page[4]}));
    }
    QStringList rows;
    for (const PagesOverview::Row &row : PagesOverview::read(env.dir(), {12, 7, 99, 20}, {12, 20, 55}))
        rows << QStringLiteral("%1, %2, %3, %4, %5, %6, %7")
                    .arg(row.position)
                    .arg(row.dataNumber)
                    .arg(row.title, row.lastModified, row.checkDate)
                    .arg(row.methodCode)
                    .arg(row.isNew ? "new" : "seen");
    QCOMPARE(rows,
             QStringList({"1, 12, B, 2000/05/21 10:00:00, 2000/05/20, 3, new",
                          "2, 7, A, 2000/05/18 21:04:33, 2000/05/19, 1, seen", "3, 99, , , , 0, seen",
                          "4, 20, C, 2000/05/21 10:00:00, 2000/05/21, 0, new"}));
}

// number.sdf: blank lines between numbers stand for site 0 each, not those at the end.
void TestBrowse::siteNumbers()
{
    TestEnv env;
    env.writeBytes("number.sdf", textLines({" 3 ", " 7 ", "", "", " 12 ", "", ""}));
    QCOMPARE(DataFiles::readSiteNumbers(env.dir()), QList<qint16>({7, 0, 0, 12}));
}

// A site's description file as the browsers show it: the title and 1000 section lines, then one that counts
// the rest, a megabyte at a time.
void TestBrowse::description_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("lastSection");

    const QByteArray head = "7\r\nJazz\r\nAbout\r\nURL\r\n", wide = QByteArray(1100, 'x') + "\r\n";
    QTest::newRow("a piece ends among the shown, the last line without its end")
        << head + wide.repeated(1003).chopped(2) << "（ほかに 3 行あります）";
    QTest::newRow("the rest over pieces")
        << head + QByteArray("s\r\n").repeated(1000) + QByteArray("y\r\n").repeated(400000)
        << "（ほかに 400000 行あります）";
}

void TestBrowse::description()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, lastSection);
    TestEnv env;
    env.makeDir("data");
    env.writeBytes("data/000007.ibd", file);
    const DataFiles::SiteDescription site = DataFiles::readDescription(env.dir(), 7);
    QCOMPARE(QStringList({site.title, QString::number(site.sections.size()), site.sections.last()}),
             QStringList({"Jazz", "1001", lastSection}));
}

QTEST_GUILESS_MAIN(TestBrowse)
#include "tst_browse.moc"
