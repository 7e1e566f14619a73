#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "store/builder.h"
#include "testenv.h"

#include <QTest>

namespace {

using Files = QMap<QString, QStringList>;

// all-info.idf as delivered on 2000/05/20: the four counts, then the four blocks, one record a line as in the
// file, each block ended by its sentinel.
QByteArray allInfo(const QList<int> &counts, const QStringList &names, const QStringList &links,
                   const QStringList &sites, const QStringList &assignments)
{
    QStringList lines{"2000/05/20"};
    for (int count : counts)
        lines << QString::number(count);
    for (const QStringList &block : {names, links, sites, assignments})
        lines << block << "\"<END>\"";
    return textLines(lines);
}

const QByteArray kWorked = allInfo(
    {3, 2, 2, 3}, {"0,Top", "1,Music", "2,Jazz"}, {"0,1", "1,2"},
    {"7,Jazz Corner,Reviews of new records,URL-1", "12,Blue Notes,A weekly column,URL-2"}, {"7,2", "12,2", "12,1"});
const QByteArray kWorkedUpdate = textLines(
    {"2000/05/21", "7,#2000/05/18 21:04:33#,#2000/05/20#,1", "12,#2000/05/19 08:15:00#,#2000/05/20#,4"});
const QByteArray kDateOnly = textLines({"2000/05/21"});
// What kWorked and kWorkedUpdate make.
const Files kWorkedBuilt{
    {"number.sdf", {" 2 ", " 7 ", " 12 "}},
    {"data/000007.ibd", {" 7 ", "Jazz Corner", "Reviews of new records", "URL-1", "Top -> Music -> Jazz"}},
    {"data/000012.ibd", {" 12 ", "Blue Notes", "A weekly column", "URL-2", "Top -> Music -> Jazz", "Top -> Music"}},
    {"data/000007.iud", {"#2000/05/18 21:04:33#", "#2000/05/20#", "1"}},
    {"data/000012.iud", {"#2000/05/19 08:15:00#", "#2000/05/20#", "4"}}};

// What is put in the way of a build of kWorked: a symbolic link in the place of site 7's description.
Obstacle linkTo(const QString &target)
{
    return [target](const TestEnv &env) {
        env.writeBytes("victim", "old\r\n");
        env.makeDir("data");
        QFile::link(env.path(target), env.path("data/000007.ibd"));
        return std::shared_ptr<ReadOnlyDir>();
    };
}

std::shared_ptr<ReadOnlyDir> readOnlySettings(const TestEnv &env)
{
    // A refused save may leave its value in the store's memory: the making date is the one the build would
    // store, so that what is checked is the day the next download starts from.
    SettingsStore::save("Date", "MakeFile", "2000/05/20");
    // The build runs as the other user that a read-only file needs.
    env.makeDir("data");
    for (const QString &dir : {env.dir(), env.path("data")})
        QFile::setPermissions(dir, QFileDevice::Permissions(0x7777));
    return std::make_shared<ReadOnlyDir>(SettingsStore::location());
}

void row(const char *name, const QByteArray &allInfo, const QByteArray &update, const Obstacle &obstacle, int failure,
         const Files &files)
{
    QTest::newRow(name) << allInfo << update << obstacle << failure << files;
}

} // namespace

class TestBuilder : public QObject
{
    Q_OBJECT

private slots:

    // Table rows are laid out by hand.
    // clang-format off
    void build_data()
    {
        QTest::addColumn<QByteArray>("allInfo");
        QTest::addColumn<QByteArray>("update"); // null: no file
        QTest::addColumn<Obstacle>("obstacle");
        QTest::addColumn<int>("failure"); // 0: built
        QTest::addColumn<Files>("files"); // the program directory afterwards, inputs aside

        row("worked example", kWorked, kWorkedUpdate, {}, 0, kWorkedBuilt);
        row("update.idf missing", allInfo({0, 0, 0, 0}, {"0,Top"}, {}, {"1,T,S,L"}, {}), {}, {}, RunError::FileNotFound,
            {{"number.sdf", {" 0 ", " 1 "}}, {"data/000001.ibd", {" 1 ", "T", "S", "L"}}});
        row("data numbers name files by their 16-bit value",
            allInfo({0, 0, 5, 0}, {"0,Top"}, {}, {"0007,A,,", "7.5,B,,", "6.5,C,,", "-5,D,,", "abc,E,,", "-32768,F,,"}, {}),
            textLines({"2000/05/21", "7.5,a,b,c", "-32768,d,e,f"}), {}, 0, {{"number.sdf", {" 5 ", " 7 ", " 7.5 ", " 6.5 ", "-5 ", " 0 ", "-32768 "}},
             {"data/000007.ibd", {" 7 ", "A", "", ""}}, {"data/000008.ibd", {" 7.5 ", "B", "", ""}}, {"data/000006.ibd", {" 6.5 ", "C", "", ""}},
             {"data/000005.ibd", {"-5 ", "D", "", ""}}, {"data/000000.ibd", {" 0 ", "E", "", ""}}, {"data/032768.ibd", {"-32768 ", "F", "", ""}},
             {"data/000008.iud", {"a", "b", "c"}}, {"data/032768.iud", {"d", "e", "f"}}});
        row("values the field rule would split or trim are quoted",
            allInfo({1, 0, 0, 0}, {"0,Top", "1,\"Jazz, Blues\""}, {"0,1"}, {"1,\"Jazz, Blues\",\" Text \",URL"}, {"1,1"}), kDateOnly, {}, 0,
            {{"number.sdf", {" 0 ", " 1 "}}, {"data/000001.ibd", {" 1 ", "\"Jazz, Blues\"", "\" Text \"", "URL", "\"Top -> Jazz, Blues\""}}});
        // A table has count + 1 places; counts are 16-bit numbers.
        row("count + 1 records in every block (counts 2, -1, 1, 0)",
            allInfo({2, -1, 1, 0}, {"0,Top", "1,A", "1,B"}, {}, {"1,T,S,L", "2,T,S,L"}, {"1,0"}), kDateOnly, {}, 0,
            {{"number.sdf", {" 1 ", " 1 ", " 2 "}}, {"data/000001.ibd", {" 1 ", "T", "S", "L", "Top"}}, {"data/000002.ibd", {" 2 ", "T", "S", "L"}}});
        row("count + 2 site records", allInfo({0, 0, 1, 0}, {"0,Top"}, {}, {"1,T,S,L", "2,T,S,L", "3,T,S,L"}, {}), kDateOnly, {},
            RunError::OutOfRange, {{"number.sdf", {" 1 ", " 1 ", " 2 "}}, {"data/000001.ibd", {" 1 ", "T", "S", "L"}},
                                   {"data/000002.ibd", {" 2 ", "T", "S", "L"}}});
        row("count -2", allInfo({0, 0, -2, 0}, {"0,Top"}, {}, {}, {}), kDateOnly, {}, RunError::OutOfRange, {});
        row("record index past 32767", allInfo({32767, 0, 0, 0}, QStringList("0,Top") + QList<QString>(32768, "1,A"),
            {}, {}, {}), kDateOnly, {}, RunError::Overflow, {});
        // Section paths: the first name of an id wins, spare entries included.
        row("first name of a section wins", allInfo({3, 0, 0, 0}, {"0,Top", "1,Music", "1,Other", "0,Root"}, {"0,1"}, {"1,T,S,L"},
            {"1,1"}), kDateOnly, {}, 0, {{"number.sdf", {" 0 ", " 1 "}}, {"data/000001.ibd", {" 1 ", "T", "S", "L", "Top -> Music"}}});
        // A scan of a table of 32768 entries overflows its index before it ends.
        row("name missed in a full table", allInfo({32767, 0, 0, 0}, {"0,Top"}, {"0,1"}, {"1,T,S,L"}, {"1,1"}), kDateOnly, {},
            RunError::Overflow, {{"number.sdf", {" 0 ", " 1 "}}, {"data/000001.ibd", {" 1 ", "T", "S", "L"}}});
        // Nothing is written through what is in the way, and the build can be run again.
        row("a site file that is a link to a file elsewhere", kWorked, kWorkedUpdate, linkTo("victim"),
            RunError::PathFileAccess, {{"number.sdf", {" 2 "}}, {"data/000007.ibd", {"old"}}, {"victim", {"old"}}});
        row("a dangling link in a site file's place", kWorked, kWorkedUpdate, linkTo("nowhere"), RunError::PathFileAccess,
            {{"number.sdf", {" 2 "}}, {"victim", {"old"}}});
        row("a read-only settings file", kWorked, kWorkedUpdate, readOnlySettings, RunError::PathFileAccess, kWorkedBuilt);
    }
    // clang-format on

    // The build on its own: the files it leaves, the dates it stores, and the inputs deleted only when it is done. A
    // failed build can be run again: both inputs stay, and so do the dates stored before it.
    void build()
    {
        QFETCH(QByteArray, allInfo);
        QFETCH(QByteArray, update);
        QFETCH(Obstacle, obstacle);
        QFETCH(int, failure);
        QFETCH(Files, files);
        TestEnv env;
        env.writeBytes("all-info.idf", allInfo);
        if (!update.isNull())
            env.writeBytes("update.idf", update);
        SettingsStore::save("Date", "MakeFile", "1999/01/01");
        SettingsStore::save("Date", "Update", "1999/01/02");
        std::shared_ptr<ReadOnlyDir> readOnly = obstacle ? obstacle(env) : nullptr;
        const QString before = env.setting("Date", "MakeFile") + ' ' + env.setting("Date", "Update");
        const int thrown = failureOf([&] { DataFileBuilder().BuildDataFiles(env.dir()); });
        readOnly.reset();
        QCOMPARE(thrown, failure);
        QCOMPARE(env.exists("all-info.idf"), failure != 0);
        QCOMPARE(env.exists("update.idf"), failure != 0 && !update.isNull());
        QCOMPARE(env.setting("Date", "MakeFile") + ' ' + env.setting("Date", "Update"),
                 failure ? before : "2000/05/20 " + QString::fromLatin1(update.left(10)));
        Files left = env.textFiles();
        left.remove("all-info.idf");
        left.remove("update.idf");
        QCOMPARE(left, files);
    }
};

QTEST_GUILESS_MAIN(TestBuilder)
#include "tst_builder.moc"
