#include "platform/runerror.h"
#include "store/builder.h"
#include "testenv.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

const QString kAllInfo = QStringLiteral("all-info.idf");
const QString kUpdate = QStringLiteral("update.idf");
const QString kIndex = QStringLiteral("number.sdf");

QString crlf(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

// An all-info.idf: the making date, the four counts ("3,2,2,3"), the blocks
// each followed by its sentinel.
QString dataSet(const QString &counts, const QStringList &names, const QStringList &links,
                const QStringList &sites, const QStringList &assignments)
{
    QStringList lines{QStringLiteral("2000/05/20")};
    lines += counts.split(QLatin1Char(','));
    for (const QStringList *block : {&names, &links, &sites, &assignments}) {
        lines += *block;
        lines += QStringLiteral("\"<END>\"");
    }
    return crlf(lines);
}

QString worked()
{
    return dataSet(QStringLiteral("3,2,2,3"), {QStringLiteral("0,Top"), QStringLiteral("1,Music"), QStringLiteral("2,Jazz")},
                   {QStringLiteral("0,1"), QStringLiteral("1,2")},
                   {QStringLiteral("7,Jazz Corner,Reviews of new records,URL-1"),
                    QStringLiteral("12,Blue Notes,A weekly column,URL-2")},
                   {QStringLiteral("7,2"), QStringLiteral("12,2"), QStringLiteral("12,1")});
}

QString workedUpdate()
{
    return crlf({QStringLiteral("2000/05/20"), QStringLiteral("7,#2000/05/18 21:04:33#,#2000/05/20#,1"),
                 QStringLiteral("12,#2000/05/19 08:15:00#,#2000/05/20#,4")});
}

// A data set of one site (data number 1) that is assigned to the section.
QString oneSite(const QString &counts, const QStringList &names, const QStringList &links, const QString &section)
{
    return dataSet(counts, names, links, {QStringLiteral("1,Title,Text,URL")}, {QStringLiteral("1,") + section});
}

QStringList repeated(const QString &record, int times)
{
    return QStringList(times, record);
}

// Runs a build; the failure number, or 0.
int build(DataFileBuilder &builder)
{
    try {
        builder.BuildDataFiles();
    } catch (const RunError &error) {
        return error.number();
    }
    return 0;
}

int build()
{
    DataFileBuilder builder;
    return build(builder);
}

} // namespace

class TestBuilder : public QObject
{
    Q_OBJECT

private slots:
    void workedExample_data();
    void workedExample();
    void sectionPaths_data();
    void sectionPaths();
    void dataNumbers_data();
    void dataNumbers();
    void blockBounds_data();
    void blockBounds();
    void badAllInfo_data();
    void badAllInfo();
    void updatePass_data();
    void updatePass();
    void missingAllInfo();
    void randomBytes();
    void siteFileFailures_data();
    void siteFileFailures();
    void rebuildKeepsOldSites();
    void deepChain();
};

void TestBuilder::workedExample_data()
{
    QTest::addColumn<QString>("allInfo");
    QTest::addColumn<bool>("dataDirExists");

    QTest::newRow("first build, no data directory") << worked() << false;
    QTest::newRow("data directory there") << worked() << true;
    // Every field on a line of its own reads the same.
    QString fieldLines = worked();
    fieldLines.replace(QLatin1Char(','), QStringLiteral("\r\n"));
    QTest::newRow("one field a line") << fieldLines << false;
}

void TestBuilder::workedExample()
{
    QFETCH(QString, allInfo);
    QFETCH(bool, dataDirExists);
    TestEnv env;
    env.writeText(kAllInfo, allInfo);
    env.writeText(kUpdate, workedUpdate());
    if (dataDirExists)
        env.makeDir(QStringLiteral("data"));

    QCOMPARE(build(), 0);

    QCOMPARE(env.readBytes(kIndex), QByteArray(" 2 \r\n 7 \r\n 12 \r\n"));
    QCOMPARE(env.readBytes(QStringLiteral("data/000007.ibd")),
             QByteArray(" 7 \r\nJazz Corner\r\nReviews of new records\r\nURL-1\r\nTop -> Music -> Jazz\r\n"));
    QCOMPARE(env.readBytes(QStringLiteral("data/000012.ibd")),
             QByteArray(" 12 \r\nBlue Notes\r\nA weekly column\r\nURL-2\r\nTop -> Music -> Jazz\r\nTop -> Music\r\n"));
    QCOMPARE(env.readBytes(QStringLiteral("data/000007.iud")),
             QByteArray("#2000/05/18 21:04:33#\r\n#2000/05/20#\r\n1\r\n"));
    QCOMPARE(env.readBytes(QStringLiteral("data/000012.iud")),
             QByteArray("#2000/05/19 08:15:00#\r\n#2000/05/20#\r\n4\r\n"));
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("MakeFile")), QStringLiteral("2000/05/20"));
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/20"));
    QVERIFY(!env.exists(kAllInfo));
    QVERIFY(!env.exists(kUpdate));
}

void TestBuilder::sectionPaths_data()
{
    QTest::addColumn<QString>("allInfo");
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("pathLine");

    const QString top = QStringLiteral("0,Top");
    const QString music = QStringLiteral("1,Music");
    const QString jazz = QStringLiteral("2,Jazz");
    const QString rootToMusic = QStringLiteral("0,1");
    const QString musicToJazz = QStringLiteral("1,2");

    QTest::newRow("deep section") << oneSite(QStringLiteral("2,1,0,0"), {top, music, jazz}, {rootToMusic, musicToJazz},
                                             QStringLiteral("2"))
                                  << 0 << QByteArray("Top -> Music -> Jazz\r\n");
    QTest::newRow("section 0 alone") << oneSite(QStringLiteral("2,1,0,0"), {top, music, jazz}, {rootToMusic},
                                                QStringLiteral("0"))
                                     << 0 << QByteArray("Top\r\n");
    QTest::newRow("first name of a section wins")
        << oneSite(QStringLiteral("3,0,0,0"), {top, music, QStringLiteral("1,Other"), QStringLiteral("0,Root")},
                   {rootToMusic}, QStringLiteral("1"))
        << 0 << QByteArray("Top -> Music\r\n");
    QTest::newRow("first link of a child wins")
        << oneSite(QStringLiteral("2,1,0,0"), {top, music, jazz}, {QStringLiteral("0,2"), musicToJazz},
                   QStringLiteral("2"))
        << 0 << QByteArray("Top -> Jazz\r\n");
    QTest::newRow("no section 0, spare entry names it empty")
        << oneSite(QStringLiteral("2,1,0,0"), {music, jazz}, {rootToMusic, musicToJazz}, QStringLiteral("2"))
        << 0 << QByteArray(" -> Music -> Jazz\r\n");
    QTest::newRow("no section 0, section 0 itself")
        << oneSite(QStringLiteral("1,0,0,0"), {music}, {}, QStringLiteral("0")) << 0 << QByteArray("\r\n");
    QTest::newRow("no section 0 and no spare entry")
        << oneSite(QStringLiteral("0,0,0,0"), {music}, {rootToMusic}, QStringLiteral("1")) << 9 << QByteArray();
    QTest::newRow("negative section id")
        << oneSite(QStringLiteral("1,0,0,0"), {top, QStringLiteral("-3,Minus")}, {QStringLiteral("0,-3")},
                   QStringLiteral("-3"))
        << 0 << QByteArray("Top -> Minus\r\n");
    QTest::newRow("section without a name") << oneSite(QStringLiteral("0,0,0,0"), {top}, {QStringLiteral("0,5")},
                                                       QStringLiteral("5"))
                                            << 9 << QByteArray();
    QTest::newRow("ancestor without a name")
        << oneSite(QStringLiteral("1,1,0,0"), {top, jazz}, {rootToMusic, musicToJazz}, QStringLiteral("2")) << 9
        << QByteArray();
    QTest::newRow("section without a link")
        << oneSite(QStringLiteral("2,0,0,0"), {top, music, jazz}, {musicToJazz}, QStringLiteral("1")) << 9
        << QByteArray();
    QTest::newRow("cycle") << oneSite(QStringLiteral("2,1,0,0"), {top, music, jazz},
                                      {QStringLiteral("2,1"), musicToJazz}, QStringLiteral("2"))
                           << 9 << QByteArray();
    QTest::newRow("own parent") << oneSite(QStringLiteral("1,0,0,0"), {top, music}, {QStringLiteral("1,1")},
                                           QStringLiteral("1"))
                                << 9 << QByteArray();
    // A scan of a table of 32768 entries cannot pass its last index.
    QTest::newRow("miss in a full name table")
        << oneSite(QStringLiteral("32767,0,0,0"), {top}, {rootToMusic}, QStringLiteral("1")) << 6 << QByteArray();
    QTest::newRow("miss in a full link table")
        << oneSite(QStringLiteral("1,32767,0,0"), {top, music}, {}, QStringLiteral("1")) << 6 << QByteArray();
}

void TestBuilder::sectionPaths()
{
    QFETCH(QString, allInfo);
    QFETCH(int, error);
    QFETCH(QByteArray, pathLine);
    TestEnv env;
    env.writeText(kAllInfo, allInfo);
    env.writeText(kUpdate, crlf({QStringLiteral("2000/05/21")}));

    DataFileBuilder builder;
    QCOMPARE(build(builder), error);

    const QByteArray head(" 1 \r\nTitle\r\nText\r\nURL\r\n");
    if (error == 0) {
        QCOMPARE(env.readBytes(QStringLiteral("data/000001.ibd")), head + pathLine);
    } else {
        QCOMPARE(env.readBytes(QStringLiteral("data/000001.ibd")), head);
        QVERIFY(env.exists(kAllInfo));
        QVERIFY(env.exists(kUpdate));
    }
}

void TestBuilder::dataNumbers_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("numberLine");

    QTest::newRow("7") << QStringLiteral("7") << QStringLiteral("000007") << QByteArray(" 7 ");
    QTest::newRow("0007 names the same files") << QStringLiteral("0007") << QStringLiteral("000007") << QByteArray(" 7 ");
    QTest::newRow("7.5 keeps its value, file of 8") << QStringLiteral("7.5") << QStringLiteral("000008")
                                                   << QByteArray(" 7.5 ");
    QTest::newRow("6.5 rounds to the even 6") << QStringLiteral("6.5") << QStringLiteral("000006")
                                             << QByteArray(" 6.5 ");
    QTest::newRow("negative drops its sign") << QStringLiteral("-5") << QStringLiteral("000005") << QByteArray("-5 ");
    QTest::newRow("text is 0") << QStringLiteral("abc") << QStringLiteral("000000") << QByteArray(" 0 ");
    QTest::newRow("32767") << QStringLiteral("32767") << QStringLiteral("032767") << QByteArray(" 32767 ");
    QTest::newRow("-32768") << QStringLiteral("-32768") << QStringLiteral("032768") << QByteArray("-32768 ");
}

void TestBuilder::dataNumbers()
{
    QFETCH(QString, field);
    QFETCH(QString, file);
    QFETCH(QByteArray, numberLine);
    TestEnv env;
    env.writeText(kAllInfo, dataSet(QStringLiteral("0,0,0,0"), {QStringLiteral("0,Top")}, {},
                                    {field + QStringLiteral(",T,S,L")}, {field + QStringLiteral(",0")}));
    env.writeText(kUpdate, crlf({QStringLiteral("2000/05/21"), field + QStringLiteral(",a,b,c")}));

    QCOMPARE(build(), 0);
    QCOMPARE(env.readBytes(QStringLiteral("data/") + file + QStringLiteral(".ibd")),
             numberLine + "\r\nT\r\nS\r\nL\r\nTop\r\n");
    QCOMPARE(env.readBytes(kIndex), " 0 \r\n" + numberLine + "\r\n");
    QCOMPARE(env.readBytes(QStringLiteral("data/") + file + QStringLiteral(".iud")), QByteArray("a\r\nb\r\nc\r\n"));
}

void TestBuilder::blockBounds_data()
{
    QTest::addColumn<QString>("allInfo");
    QTest::addColumn<int>("error");

    const QString top = QStringLiteral("0,Top");
    const QString site = QStringLiteral("1,T,S,L");
    const QString assignment = QStringLiteral("1,0");
    const QString link = QStringLiteral("0,1");
    auto names = [&](const QString &counts, int records) {
        return dataSet(counts, QStringList{top} + repeated(QStringLiteral("1,A"), records - 1), {}, {}, {});
    };
    QTest::newRow("block 1 count + 1") << names(QStringLiteral("2,0,0,0"), 3) << 0;
    QTest::newRow("block 1 count + 2") << names(QStringLiteral("2,0,0,0"), 4) << 9;
    QTest::newRow("block 2 count + 1") << dataSet(QStringLiteral("0,2,0,0"), {top}, repeated(link, 3), {}, {}) << 0;
    QTest::newRow("block 2 count + 2") << dataSet(QStringLiteral("0,2,0,0"), {top}, repeated(link, 4), {}, {}) << 9;
    QTest::newRow("block 3 count + 1") << dataSet(QStringLiteral("0,0,2,0"), {top}, {}, repeated(site, 3), {}) << 0;
    QTest::newRow("block 3 count + 2") << dataSet(QStringLiteral("0,0,2,0"), {top}, {}, repeated(site, 4), {}) << 9;
    QTest::newRow("block 4 count + 1") << dataSet(QStringLiteral("0,0,0,2"), {top}, {}, {}, repeated(assignment, 3))
                                       << 0;
    QTest::newRow("block 4 count + 2") << dataSet(QStringLiteral("0,0,0,2"), {top}, {}, {}, repeated(assignment, 4))
                                       << 9;
    QTest::newRow("count 0, one record") << names(QStringLiteral("0,0,0,0"), 1) << 0;
    QTest::newRow("count -1, empty blocks") << dataSet(QStringLiteral("0,-1,-1,-1"), {top}, {}, {}, {}) << 0;
    QTest::newRow("count -1, one record") << dataSet(QStringLiteral("0,-1,0,0"), {top}, {link}, {}, {}) << 9;
    QTest::newRow("count -2") << dataSet(QStringLiteral("0,0,-2,0"), {top}, {}, {}, {}) << 9;
    QTest::newRow("count far too large") << dataSet(QStringLiteral("0,0,40000,0"), {top}, {}, {}, {}) << 6;
    QTest::newRow("count below -32768") << dataSet(QStringLiteral("0,-40000,0,0"), {top}, {}, {}, {}) << 6;
    QTest::newRow("count not a number is 0") << names(QStringLiteral("x,0,0,0"), 2) << 9;
    QTest::newRow("count 1.5 is 2") << names(QStringLiteral("1.5,0,0,0"), 3) << 0;
    QTest::newRow("count 2.5 is 2") << names(QStringLiteral("2.5,0,0,0"), 4) << 9;
    // The record index is 16-bit: the record after index 32767 overflows it.
    QTest::newRow("index past 32767") << names(QStringLiteral("32767,0,0,0"), 32769) << 6;
}

void TestBuilder::blockBounds()
{
    QFETCH(QString, allInfo);
    QFETCH(int, error);
    TestEnv env;
    env.writeText(kAllInfo, allInfo);
    env.writeText(kUpdate, crlf({QStringLiteral("2000/05/21")}));

    QCOMPARE(build(), error);
    QCOMPARE(env.exists(kAllInfo), error != 0);
    QCOMPARE(env.exists(kUpdate), error != 0);
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("MakeFile")), QStringLiteral("2000/05/20"));
}

void TestBuilder::badAllInfo_data()
{
    QTest::addColumn<QByteArray>("allInfo");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("makeFile");
    QTest::addColumn<QByteArray>("index");    // "-" for no file
    QTest::addColumn<QByteArray>("siteFile"); // data/000001.ibd, "-" for none

    const QByteArray whole = sjis(oneSite(QStringLiteral("0,0,1,0"), {QStringLiteral("0,Top")}, {},
                                          QStringLiteral("0")));
    const QByteArray date("2000/05/20");
    const QByteArray head(" 1 \r\nTitle\r\nText\r\nURL\r\n");

    QTest::newRow("empty file") << QByteArray() << 62 << QString() << QByteArray("-") << QByteArray("-");
    QTest::newRow("date only") << QByteArray("2000/05/20\r\n") << 62 << QString::fromLatin1(date) << QByteArray("-")
                               << QByteArray("-");
    QTest::newRow("block 1 without its end")
        << QByteArray("2000/05/20\r\n0\r\n0\r\n0\r\n0\r\n0,Top\r\n") << 62 << QString::fromLatin1(date)
        << QByteArray("-") << QByteArray("-");
    QTest::newRow("lower-case sentinel is a record")
        << QByteArray("d\r\n0\r\n0\r\n0\r\n0\r\n<end>\r\nx\r\n<end>\r\ny\r\n<END>\r\n<END>\r\n<END>\r\n<END>\r\n")
        << 9
        << QStringLiteral("d") << QByteArray("-") << QByteArray("-");
    QTest::newRow("cut inside a site") << whole.left(whole.indexOf("Text")) << 62 << QString::fromLatin1(date)
                                       << QByteArray(" 1 \r\n 1 \r\n") << QByteArray(" 1 \r\nTitle\r\n");
    QTest::newRow("block 3 without its end") << whole.left(whole.indexOf("\"<END>\"\r\n1,0")) << 62
                                             << QString::fromLatin1(date) << QByteArray(" 1 \r\n 1 \r\n") << head;
    QTest::newRow("data number 32768")
        << sjis(dataSet(QStringLiteral("0,0,1,0"), {QStringLiteral("0,Top")}, {}, {QStringLiteral("32768,T,S,L")}, {}))
        << 6 << QString::fromLatin1(date) << QByteArray(" 1 \r\n") << QByteArray("-");
    QTest::newRow("block 4 without its end") << whole.left(whole.lastIndexOf("\"<END>\"")) << 62
                                             << QString::fromLatin1(date) << QByteArray(" 1 \r\n 1 \r\n")
                                             << head + "Top\r\n";
    QTest::newRow("section field 32768") << whole.left(whole.lastIndexOf("1,0")) + "1,32768\r\n\"<END>\"\r\n" << 6
                                         << QString::fromLatin1(date) << QByteArray(" 1 \r\n 1 \r\n") << head;
    QTest::newRow("sentinel text is ordinary inside a record")
        << sjis(oneSite(QStringLiteral("0,0,1,0"), {QStringLiteral("0,<END>")}, {}, QStringLiteral("0"))) << 0
        << QString::fromLatin1(date) << QByteArray(" 1 \r\n 1 \r\n") << head + "<END>\r\n";
    QTest::newRow("anything after the last end is ignored")
        << whole + "garbage,\"x\r\n\x82\xa0" << 0 << QString::fromLatin1(date) << QByteArray(" 1 \r\n 1 \r\n")
        << head + "Top\r\n";
    QTest::newRow("block 3 with count + 1 records lists one more")
        << sjis(oneSite(QStringLiteral("0,0,0,0"), {QStringLiteral("0,Top")}, {}, QStringLiteral("0"))) << 0
        << QString::fromLatin1(date) << QByteArray(" 0 \r\n 1 \r\n") << head + "Top\r\n";
    QTest::newRow("no section 0, paths share their start")
        << sjis(dataSet(QStringLiteral("2,1,1,2"), {QStringLiteral("1,Music"), QStringLiteral("2,Jazz")},
                        {QStringLiteral("0,1"), QStringLiteral("1,2")}, {QStringLiteral("1,Title,Text,URL")},
                        {QStringLiteral("1,2"), QStringLiteral("1,1"), QStringLiteral("1,0")}))
        << 0 << QString::fromLatin1(date) << QByteArray(" 1 \r\n 1 \r\n")
        << head + " -> Music -> Jazz\r\n -> Music\r\n\r\n";
    QTest::newRow("block-4 site not in block 3")
        << sjis(dataSet(QStringLiteral("0,0,0,0"), {QStringLiteral("0,Top")}, {}, {}, {QStringLiteral("1,0")})) << 0
        << QString::fromLatin1(date) << QByteArray(" 0 \r\n") << QByteArray("Top\r\n");
}

void TestBuilder::badAllInfo()
{
    QFETCH(QByteArray, allInfo);
    QFETCH(int, error);
    QFETCH(QString, makeFile);
    QFETCH(QByteArray, index);
    QFETCH(QByteArray, siteFile);
    TestEnv env;
    env.writeBytes(kAllInfo, allInfo);
    env.writeText(kUpdate, crlf({QStringLiteral("2000/05/21")}));

    QCOMPARE(build(), error);
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("MakeFile")), makeFile);
    QCOMPARE(env.exists(kIndex), index != "-");
    if (index != "-")
        QCOMPARE(env.readBytes(kIndex), index);
    QCOMPARE(env.exists(QStringLiteral("data/000001.ibd")), siteFile != "-");
    if (siteFile != "-")
        QCOMPARE(env.readBytes(QStringLiteral("data/000001.ibd")), siteFile);
    // all-info.idf goes only after block 4, update.idf only after its pass.
    QCOMPARE(env.exists(kAllInfo), error != 0);
    QCOMPARE(env.exists(kUpdate), error != 0);
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("Update")),
             error != 0 ? QString() : QStringLiteral("2000/05/21"));
}

void TestBuilder::updatePass_data()
{
    QTest::addColumn<QByteArray>("update"); // "-" for a missing file
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("updateSetting");
    QTest::addColumn<QByteArray>("first");  // data/000001.iud, "-" for none
    QTest::addColumn<QByteArray>("second"); // data/000002.iud, "-" for none

    QTest::newRow("two records") << QByteArray("2000/05/21\r\n1,a,b,1\r\n2,c,d,4\r\n") << 0
                                 << QStringLiteral("2000/05/21") << QByteArray("a\r\nb\r\n1\r\n")
                                 << QByteArray("c\r\nd\r\n4\r\n");
    QTest::newRow("fields kept as read") << QByteArray("x\r\n1,\" a,b \",  c  , 3 \r\n") << 0 << QStringLiteral("x")
                                         << QByteArray(" a,b \r\nc\r\n3\r\n") << QByteArray("-");
    QTest::newRow("date only") << QByteArray("2000/05/21\r\n") << 0 << QStringLiteral("2000/05/21")
                               << QByteArray("-") << QByteArray("-");
    QTest::newRow("date without line end") << QByteArray("2000/05/21") << 0 << QStringLiteral("2000/05/21")
                                           << QByteArray("-") << QByteArray("-");
    QTest::newRow("trailing empty line") << QByteArray("2000/05/21\r\n1,a,b,1\r\n\r\n") << 62
                                         << QStringLiteral("2000/05/21") << QByteArray("a\r\nb\r\n1\r\n")
                                         << QByteArray("-");
    QTest::newRow("short last record") << QByteArray("2000/05/21\r\n1,a,b,1\r\n2,c\r\n") << 62
                                       << QStringLiteral("2000/05/21") << QByteArray("a\r\nb\r\n1\r\n")
                                       << QByteArray("c\r\n");
    QTest::newRow("data number 32768") << QByteArray("2000/05/21\r\n1,a,b,1\r\n32768,c,d,4\r\n") << 6
                                       << QStringLiteral("2000/05/21") << QByteArray("a\r\nb\r\n1\r\n")
                                       << QByteArray("-");
    QTest::newRow("empty file") << QByteArray() << 62 << QString() << QByteArray("-") << QByteArray("-");
    QTest::newRow("missing") << QByteArray("-") << 53 << QString() << QByteArray("-") << QByteArray("-");
}

void TestBuilder::updatePass()
{
    QFETCH(QByteArray, update);
    QFETCH(int, error);
    QFETCH(QString, updateSetting);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    TestEnv env;
    env.writeText(kAllInfo, dataSet(QStringLiteral("0,0,0,0"), {QStringLiteral("0,Top")}, {},
                                    {QStringLiteral("1,T,S,L")}, {QStringLiteral("1,0")}));
    if (update != "-")
        env.writeBytes(kUpdate, update);

    DataFileBuilder builder;
    QCOMPARE(build(builder), error);
    if (error == 53)
        QCOMPARE(builder.inputPath(), env.path(kUpdate));
    // The all-info pass is complete whatever happens to update.idf.
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("MakeFile")), QStringLiteral("2000/05/20"));
    QCOMPARE(env.readBytes(QStringLiteral("data/000001.ibd")), QByteArray(" 1 \r\nT\r\nS\r\nL\r\nTop\r\n"));
    QVERIFY(!env.exists(kAllInfo));
    QCOMPARE(env.exists(kUpdate), error != 0 && error != 53);
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("Update")), updateSetting);
    QCOMPARE(env.exists(QStringLiteral("data/000001.iud")), first != "-");
    if (first != "-")
        QCOMPARE(env.readBytes(QStringLiteral("data/000001.iud")), first);
    QCOMPARE(env.exists(QStringLiteral("data/000002.iud")), second != "-");
    if (second != "-")
        QCOMPARE(env.readBytes(QStringLiteral("data/000002.iud")), second);
}

void TestBuilder::missingAllInfo()
{
    TestEnv env;
    env.writeText(kUpdate, workedUpdate());

    DataFileBuilder builder;
    QCOMPARE(build(builder), 53);
    QCOMPARE(builder.inputPath(), env.path(kAllInfo));
    QVERIFY(env.exists(kUpdate));
    QVERIFY(!env.exists(kIndex));
    QVERIFY(!env.exists(QStringLiteral("data")));
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("MakeFile")), QString());
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("Update")), QString());
}

// Whatever the bytes, the build ends in one of its numbers and keeps both
// inputs; it neither crashes nor hangs.
void TestBuilder::randomBytes()
{
    QRandomGenerator random(20000520);
    for (int round = 0; round < 50; ++round) {
        TestEnv env;
        QByteArray bytes(int(random.bounded(1, 4000)), Qt::Uninitialized);
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        env.writeBytes(kAllInfo, bytes);
        env.writeText(kUpdate, workedUpdate());
        const int error = build();
        QVERIFY2(error == 6 || error == 9 || error == 62, qPrintable(QString::number(error)));
        QVERIFY(env.exists(kAllInfo));
        QVERIFY(env.exists(kUpdate));
    }
}

void TestBuilder::siteFileFailures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("error");

    QTest::newRow("data is a file") << QStringLiteral("data is a file") << 75;
#ifdef Q_OS_UNIX
    QTest::newRow("data cannot be created") << QStringLiteral("read-only program directory") << 70;
    QTest::newRow("site file cannot be written") << QStringLiteral("read-only data directory") << 70;
#endif
}

void TestBuilder::siteFileFailures()
{
    QFETCH(QString, failure);
    QFETCH(int, error);
    TestEnv env;
    env.writeText(kAllInfo, worked());
    env.writeText(kUpdate, workedUpdate());
    std::unique_ptr<ReadOnlyDir> readOnly;
    if (failure == QStringLiteral("data is a file")) {
        env.writeBytes(QStringLiteral("data"), "x");
    } else {
        // Root tests as another user, who may empty number.sdf in place but
        // create nothing in a read-only directory.
        env.writeBytes(kIndex, "old");
#ifdef Q_OS_UNIX
        ::chmod(QFile::encodeName(env.path(kIndex)).constData(), 0666);
#endif
        if (failure == QStringLiteral("read-only program directory")) {
            readOnly = std::make_unique<ReadOnlyDir>(env.dir());
        } else {
            env.makeDir(QStringLiteral("data"));
            readOnly = std::make_unique<ReadOnlyDir>(env.path(QStringLiteral("data")));
        }
    }

    QCOMPARE(build(), error);
    readOnly.reset();
    QCOMPARE(env.readBytes(kIndex), QByteArray(" 2 \r\n"));
    QVERIFY(!env.exists(QStringLiteral("data/000007.ibd")));
    QVERIFY(env.exists(kAllInfo));
    QVERIFY(env.exists(kUpdate));
}

// A new build replaces what it names and deletes nothing else.
void TestBuilder::rebuildKeepsOldSites()
{
    TestEnv env;
    env.writeText(kAllInfo, worked());
    env.writeText(kUpdate, workedUpdate());
    DataFileBuilder builder;
    QCOMPARE(build(builder), 0);

    env.writeText(kAllInfo, dataSet(QStringLiteral("0,0,0,0"), {QStringLiteral("0,Root")}, {},
                                    {QStringLiteral("7,New,Text,URL")}, {QStringLiteral("7,0")}));
    env.writeText(kUpdate, crlf({QStringLiteral("2000/06/01")}));
    QCOMPARE(build(builder), 0);

    QCOMPARE(env.readBytes(kIndex), QByteArray(" 0 \r\n 7 \r\n"));
    QCOMPARE(env.readBytes(QStringLiteral("data/000007.ibd")), QByteArray(" 7 \r\nNew\r\nText\r\nURL\r\nRoot\r\n"));
    QVERIFY(env.exists(QStringLiteral("data/000012.ibd")));
    QCOMPARE(env.readBytes(QStringLiteral("data/000007.iud")), QByteArray("#2000/05/18 21:04:33#\r\n#2000/05/20#\r\n1\r\n"));
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/06/01"));
}

// Paths far longer than usual, more than the builder keeps worked out.
void TestBuilder::deepChain()
{
    const int depth = 2000;
    QStringList names{QStringLiteral("0,Top")};
    QStringList links;
    QString expected = QStringLiteral("Top");
    QStringList paths{expected};
    for (int k = 1; k <= depth; ++k) {
        const QString name = QStringLiteral("Section%1").arg(k, 5, 10, QLatin1Char('0'));
        names.append(QString::number(k) + QLatin1Char(',') + name);
        links.append(QString::number(k - 1) + QLatin1Char(',') + QString::number(k));
        paths.append(paths.last() + QStringLiteral(" -> ") + name);
    }
    TestEnv env;
    env.writeText(kAllInfo, dataSet(QStringLiteral("2000,2000,0,3"), names, links, {QStringLiteral("1,T,S,L")},
                                    {QStringLiteral("1,2000"), QStringLiteral("1,1999"), QStringLiteral("1,2000")}));
    env.writeText(kUpdate, crlf({QStringLiteral("2000/05/21")}));

    QCOMPARE(build(), 0);
    QCOMPARE(env.readText(QStringLiteral("data/000001.ibd")),
             crlf({QStringLiteral(" 1 "), QStringLiteral("T"), QStringLiteral("S"), QStringLiteral("L"), paths.at(2000),
                   paths.at(1999), paths.at(2000)}));
}

QTEST_GUILESS_MAIN(TestBuilder)
#include "tst_builder.moc"
