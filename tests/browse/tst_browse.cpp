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
    void pagesFile();
    void find_data();
    void find();
    void overview();
    void description();
};

// pages.udf not saved yet holds no entries; one that is keeps its entries as they stand, in file order, past its
// count. An entry names the page of its leading number, and the site files of that number without its sign.
// Written sorted and counted, a comma quoted; where the directory refuses a new file, rewritten in place.
void TestBrowse::pagesFile()
{
    TestEnv env;
    QCOMPARE(PagesFile::read(env.dir()).entries, QStringList());
    env.writeBytes("pages.udf", textLines({" 1 ", "000012 B", "Notes", "-00007 Minus", "000007 Plus"}));
    const PagesFile::Contents contents = PagesFile::read(env.dir());
    QCOMPARE(contents.count, 1);
    QCOMPARE(contents.entries, QStringList({"000012 B", "Notes", "-00007 Minus", "000007 Plus"}));
    QCOMPARE(PagesFile::pageNumbers(contents.entries), QList<qint16>({12, -7, 7}));
    QStringList digits;
    for (const QString &entry : contents.entries)
        digits << PagesFile::siteDigits(entry);
    QCOMPARE(digits, QStringList({"000012", "000000", "000007", "000007"}));

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
    QTest::addColumn<QString>("found"); // the position found, 0 for none, and whether the find wrapped

    QTest::newRow("a data number in full-width digits") << "３００" << 0 << "4";
    QTest::newRow("a data number before the position")  << "7"      << 2 << "1 wrapped";
    QTest::newRow("case folded")                         << "JAZZ"   << 0 << "1";
}
// clang-format on

// The browser's find: positions count from 1 in the order of number.sdf, where a blank line between numbers
// stands for site 0.
void TestBrowse::find()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(QString, found);
    TestEnv env;
    env.makeDir("data");
    env.writeBytes("number.sdf", textLines({" 4 ", " 7 ", "", " 12 ", " 300 "}));
    env.writeBytes("data/000007.ibd", textLines({"7", "Jazz Corner"}));
    const SiteFinder::Result result = SiteFinder(env.dir()).find(text, from);
    QCOMPARE(QString::number(result.position) + (result.wrapped ? " wrapped" : ""), found);
}

// The list of all pages of interest: a row per page, empty cells for missing files, new where marked.
void TestBrowse::overview()
{
    TestEnv env;
    env.makeDir("data");
    env.writeBytes("data/000007.ibd", textLines({"7", "A"}));
    env.writeBytes("data/000007.iud", textLines({"#2000/05/18 21:04:33#", "#2000/05/19#", "1"}));
    env.writeBytes("data/000012.ibd", textLines({"12", "B"}));
    env.writeBytes("data/000012.iud", textLines({"#2000/05/21 10:00:00#", "#2000/05/20#", "3"}));
    env.writeBytes("data/000020.ibd", textLines({"20", "C"}));
    env.writeBytes("data/000020.iud", textLines({"#2000/05/21 10:00:00#", "#2000/05/21#", "1.5"}));
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

// A site's description file as the browsers show it: the title and 1000 section lines, then one that counts the
// rest a megabyte at a time: a piece ends among the shown lines, the rest spans pieces and its last line has no
// line end.
void TestBrowse::description()
{
    TestEnv env;
    env.makeDir("data");
    env.writeBytes("data/000007.ibd",
                   "7\r\nJazz\r\nAbout\r\nURL\r\n" + QByteArray(1100, 'x').append("\r\n").repeated(1000)
                       + QByteArray("y\r\n").repeated(400000).chopped(2));
    const DataFiles::SiteDescription site = DataFiles::readDescription(env.dir(), 7);
    QCOMPARE(QStringList({site.title, QString::number(site.sections.size()), site.sections.last()}),
             QStringList({"Jazz", "1001", "（ほかに 400000 行あります）"}));
}

QTEST_GUILESS_MAIN(TestBrowse)
#include "tst_browse.moc"
