#include "browse/pagesfile.h"
#include "browse/pagesoverview.h"
#include "browse/sitefinder.h"
#include "platform/runerror.h"
#include "store/datafiles.h"
#include "testenv.h"

#include <QFile>
#include <QTest>

namespace {

QStringList numbersText(const QList<qint16> &numbers)
{
    QStringList texts;
    for (qint16 number : numbers)
        texts << QString::number(number);
    return texts;
}

// number.sdf and a description file per site: its number, title, description and link.
void registerSites(const TestEnv &env, const QList<QStringList> &sites)
{
    env.makeDir("data");
    QStringList numbers{QString::number(sites.size())};
    for (const QStringList &site : sites) {
        numbers << site.first();
        env.writeBytes(QStringLiteral("data/%1.ibd").arg(site.first().toInt(), 6, 10, QLatin1Char('0')),
                       textLines(site));
    }
    env.writeBytes("number.sdf", textLines(numbers));
}

} // namespace

class TestBrowse : public QObject
{
    Q_OBJECT

private slots:
    void readPages_data();
    void readPages();
    void writePages_data();
    void writePages();
    void find_data();
    void find();
    void overview();
    void siteNumbers();
    void description_data();
    void description();
};

// Table rows are laid out by hand.
// clang-format off
void TestBrowse::readPages_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no file
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("pageNumbers"); // the pages the entries name
    QTest::addColumn<QStringList>("siteDigits"); // per entry: the site files it names

    QTest::newRow("no file yet") << QByteArray() << 0 << QStringList() << QStringList() << QStringList();
    QTest::newRow("file order, more entries than the count") << textLines({" 1 ", "000012 B", "000007 A"}) << 1
        << QStringList{"000012 B", "000007 A"} << QStringList{"12", "7"} << QStringList{"000012", "000007"};
    QTest::newRow("a comma gives two fields") << textLines({" 1 ", "000012 Blue, Notes"}) << 1
        << QStringList{"000012 Blue", "Notes"} << QStringList{"12"} << QStringList{"000012", "000000"};
    QTest::newRow("kept as they stand") << textLines({"99999", "", "099999 Far", "-00007 Minus", "000007 Plus"}) << 0
        << QStringList{"", "099999 Far", "-00007 Minus", "000007 Plus"} << QStringList{"-7", "7"}
        << QStringList{"000000", "099999", "000007", "000007"};
}
// clang-format on

void TestBrowse::readPages()
{
    QFETCH(QByteArray, file);
    QFETCH(int, count);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, pageNumbers);
    QFETCH(QStringList, siteDigits);
    TestEnv env;
    if (!file.isNull())
        env.writeBytes("pages.udf", file);
    const PagesFile::Contents contents = PagesFile::read(env.dir());
    QCOMPARE(contents.count, count);
    QCOMPARE(contents.entries, entries);
    QCOMPARE(numbersText(PagesFile::pageNumbers(contents.entries)), pageNumbers);
    QStringList digits;
    for (const QString &entry : contents.entries)
        digits << PagesFile::siteDigits(entry);
    QCOMPARE(digits, siteDigits);
}

// Table rows are laid out by hand.
// clang-format off
void TestBrowse::writePages_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<Obstacle>("inTheWay");
    QTest::addColumn<QByteArray>("file"); // afterwards
    QTest::addColumn<int>("failure");
    const auto none = [](const TestEnv &) { return nullptr; };
    const auto readOnlyDir = [](const TestEnv &env) { return std::make_shared<ReadOnlyDir>(env.dir()); };
    const QByteArray old = textLines({" 1 ", "000001 Old"});

    QTest::newRow("sorted, counted, a comma quoted") << QStringList{"000012 B", "000007 Jazz, Blues", "000300 C"}
        << Obstacle(none) << textLines({" 3 ", "\"000007 Jazz, Blues\"", "000012 B", "000300 C"}) << 0;
    QTest::newRow("a read-only directory: the file rewritten in place") << QStringList{"000003 C"}
        << Obstacle([](const TestEnv &env) {
               QFile::setPermissions(env.path("pages.udf"), QFileDevice::Permissions(0x6666));
               return std::make_shared<ReadOnlyDir>(env.dir());
           }) << textLines({" 1 ", "000003 C"}) << 0;
    QTest::newRow("a read-only directory and file") << QStringList{"000003 C"} << Obstacle(readOnlyDir) << old
                                                    << int(RunError::PermissionDenied);
}
// clang-format on

void TestBrowse::writePages()
{
    QFETCH(QStringList, entries);
    QFETCH(Obstacle, inTheWay);
    QFETCH(QByteArray, file);
    QFETCH(int, failure);
    TestEnv env;
    env.writeBytes("pages.udf", textLines({" 1 ", "000001 Old"}));
    std::shared_ptr<ReadOnlyDir> readOnly = inTheWay(env);
    int thrown = 0;
    try {
        PagesFile::write(env.dir(), entries);
    } catch (const RunError &error) {
        thrown = error.number();
    }
    readOnly.reset();
    QCOMPARE(thrown, failure);
    QCOMPARE(env.readBytes("pages.udf"), file);
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
    QTest::newRow("a data number before the position") << "7" << 2 << 1 << true;
    QTest::newRow("a number as text when no site has it") << "2" << 0 << 2 << false;
    QTest::newRow("case folded") << "JAZZ" << 0 << 1 << false;
    QTest::newRow("past the last site, wrapped to the first") << "jazz" << 1 << 1 << true;
    QTest::newRow("a text across two fields") << "corner\nreviews" << 0 << 0 << false;
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
    registerSites(env,
                  {{"7", "Jazz Corner", "Reviews of new records", "http://a.example/jazz"},
                   {"12", "Blue Notes Club 2", "", "http://example.com/blue"},
                   {"300", "音楽の森", "", "URL"}});
    SiteFinder finder(env.dir());
    const SiteFinder::Result result = finder.find(text, from);
    QCOMPARE(result.position, found);
    QCOMPARE(result.wrapped, wrapped);
}

// The list of all pages of interest: a row per page, empty cells for missing files, new where marked.
void TestBrowse::overview()
{
    TestEnv env;
    registerSites(env, {{"7", "A"}, {"12", "B"}, {"20", "C"}});
    env.writeBytes("data/000007.iud", textLines({"#2000/05/18 21:04:33#", "#2000/05/19#", "1"}));
    env.writeBytes("data/000012.iud", textLines({"#2000/05/21 10:00:00#", "#2000/05/20#", "3"}));
    env.writeBytes("data/000020.iud", textLines({"#2000/05/21 10:00:00#", "#2000/05/21#", "1.5"}));
    QStringList rows;
    for (const PagesOverview::Row &row : PagesOverview::read(env.dir(), {12, 7, 99, 20}, {12, 20, 55}))
        rows << QStringList{QString::number(row.position),
                            QString::number(row.dataNumber),
                            row.title,
                            row.lastModified,
                            row.checkDate,
                            QString::number(row.methodCode),
                            row.isNew ? "new" : "seen"}
                    .join(", ");
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
    QCOMPARE(numbersText(DataFiles::readSiteNumbers(env.dir())), QStringList({"7", "0", "0", "12"}));
}

// A site's description file as the browsers show it: the title, how many section lines, the last of them. Past
// the shown sections the lines are counted a megabyte at a time.
void TestBrowse::description_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no file
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("sections");
    QTest::addColumn<QString>("lastSection");

    const QByteArray head = "7\r\nJazz\r\nAbout\r\nURL\r\n", wide = QByteArray(1100, 'x') + "\r\n";
    QTest::newRow("no file") << QByteArray() << "" << 0 << "";
    QTest::newRow("all shown") << head + "A -> B\r\nC\r\n"
                               << "Jazz" << 2 << "C";
    QTest::newRow("a piece ends among the shown, the last line without its end")
        << head + wide.repeated(1003).chopped(2) << "Jazz" << 1001 << "（ほかに 3 行あります）";
    QTest::newRow("the rest over pieces")
        << head + QByteArray("s\r\n").repeated(1000) + QByteArray("y\r\n").repeated(400000) << "Jazz" << 1001
        << "（ほかに 400000 行あります）";
}

void TestBrowse::description()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, title);
    QFETCH(int, sections);
    QFETCH(QString, lastSection);
    TestEnv env;
    env.makeDir("data");
    if (!file.isNull())
        env.writeBytes("data/000007.ibd", file);
    const DataFiles::SiteDescription site = DataFiles::readDescription(env.dir(), 7);
    QCOMPARE(site.title, title);
    QCOMPARE(site.sections.size(), sections);
    QCOMPARE(site.sections.value(sections - 1), lastSection);
}

QTEST_GUILESS_MAIN(TestBrowse)
#include "tst_browse.moc"
