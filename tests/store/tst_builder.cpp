#include "app/form_menu.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "testenv.h"
#include "ui/taskwindow.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

const QString kAllInfo = QStringLiteral("all-info.idf");
const QString kUpdate = QStringLiteral("update.idf");

// The tables' notation for file contents: "|" is a line end (CR LF).
QByteArray crlf(const QString &text)
{
    return sjis(QString(text).replace(QLatin1Char('|'), QStringLiteral("\r\n")));
}

// An all-info.idf made on 2000/05/20: the four counts ("3,2,2,3"), then the
// blocks ("0,Top;1,Music", one record a line), each ended by its sentinel.
QByteArray dataSet(const QString &counts, QString names, QString links, QString sites, QString assignments)
{
    QString text = "2000/05/20|" + QString(counts).replace(',', '|') + '|';
    for (QString *block : {&names, &links, &sites, &assignments})
        text += (block->isEmpty() ? QString() : block->replace(';', '|') + '|') + "\"<END>\"|";
    return crlf(text);
}

// Site 1 ("Title", "Text", "URL") assigned to one section.
QByteArray oneSite(const QString &counts, const QString &names, const QString &links, const QString &section)
{
    return dataSet(counts, names, links, "1,Title,Text,URL", "1," + section);
}

const QByteArray kWorked = dataSet("3,2,2,3", "0,Top;1,Music;2,Jazz", "0,1;1,2",
                                   "7,Jazz Corner,Reviews of new records,URL-1;12,Blue Notes,A weekly column,URL-2",
                                   "7,2;12,2;12,1");
const QByteArray kWorkedUpdate =
    crlf("2000/05/20|7,#2000/05/18 21:04:33#,#2000/05/20#,1|12,#2000/05/19 08:15:00#,#2000/05/20#,4|");
const QByteArray kDateOnly = crlf("2000/05/21|");
const QString kSite = "000001.ibd= 1 |Title|Text|URL|";
const QString kOtherError = "その他のエラーです。 エラー番号：";

// A row's checks: "name=content" (a file, or the setting Date/MakeFile or
// Date/Update, empty when not saved), "name" (the file exists) or "!name" (it
// does not); NNNNNN.ibd and .iud are in data/.
void verify(const TestEnv &env, const QStringList &checks)
{
    for (const QString &check : checks) {
        const bool absent = check.startsWith('!');
        QString name = check.section('=', 0, 0).mid(absent ? 1 : 0);
        if (name.endsWith(".ibd") || name.endsWith(".iud"))
            name.prepend("data/");
        if (name == "MakeFile" || name == "Update")
            QCOMPARE(env.setting("Date", name), check.section('=', 1));
        else if (check.contains('='))
            QCOMPARE(env.readBytes(name), crlf(check.section('=', 1)));
        else if (!name.startsWith('@'))
            QVERIFY2(env.exists(name) != absent, qPrintable(check));
    }
}

// What the user sees after a build that ends in the number: the messages,
// then where the user is (see Program::where()).
QStringList outcome(const TestEnv &env, int error, const QString &missing = QString())
{
    if (error == 0)
        return {"built"};
    if (error == 53)
        return {"ファイルが存在しません。ファイルを確かめてください。",
                "存在しないファイルは、\r\n" + QDir::toNativeSeparators(env.path(missing)) + "です。", "menu"};
    return {kOtherError + QString::number(error), "stopped"};
}

// The menu as start-up leaves it, with the build window behind its button.
struct Program
{
    explicit Program(const TestEnv &env)
    {
        // Start-up enables the build button only when both inputs open.
        env.writeBytes(kAllInfo, "x");
        env.writeBytes(kUpdate, "x");
        menu.Form_Load();
        menu.show();
        window = menu.taskWindow(Form_Menu::Task::SetFile);
        end = window->findChild<QPushButton *>("cmd_End");
    }

    // Clicks the build button; the messages the build showed, then where().
    QStringList build()
    {
        QSignalSpy done(window, &TaskWindow::activationDone);
        QTest::mouseClick(menu.cmd_SetFile, Qt::LeftButton);
        return (done.wait(10000) ? MessageBox::takeRecorded() : QStringList{"no activation"}) << where();
    }

    // Back at the menu, or at the window built (end usable) or stopped.
    const char *where() const
    {
        if (menu.isVisible() == window->isVisible())
            return "menu and window both shown or both hidden";
        if (menu.isVisible())
            return end->isEnabled() ? "menu, end usable" : "menu";
        return end->isEnabled() ? "built" : "stopped";
    }

    Form_Menu menu;
    TaskWindow *window = nullptr;
    QPushButton *end = nullptr;
};

} // namespace

class TestBuilder : public QObject
{
    Q_OBJECT

private slots:
    void build_data();
    void build();
    void oneWindowManyBuilds();
};

// One row of build_data(): all-info.idf and update.idf ("-" for none), the
// number the user is told (0 for none, -1 for any but 0 and 53) and the checks (see
// verify(); "@..." prepares a failure). A failure keeps the inputs unless a
// check says otherwise.
void row(const char *name, const QByteArray &allInfo, int error, const QString &checks,
         const QByteArray &update = kDateOnly)
{
    QTest::newRow(name) << allInfo << update << error << checks;
}

void TestBuilder::build_data()
{
    QTest::addColumn<QByteArray>("allInfo");
    QTest::addColumn<QByteArray>("update");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("checks");

    const QString built = "number.sdf= 2 | 7 | 12 |;000007.ibd= 7 |Jazz Corner|Reviews of new records|URL-1|"
                          "Top -> Music -> Jazz|;000012.ibd= 12 |Blue Notes|A weekly column|URL-2|Top -> Music -> "
                          "Jazz|Top -> Music|;000007.iud=#2000/05/18 21:04:33#|#2000/05/20#|1|;000012.iud=#2000/05/"
                          "19 08:15:00#|#2000/05/20#|4|;MakeFile=2000/05/20;Update=2000/05/20";
    row("worked example, first build without data", kWorked, 0, built, kWorkedUpdate);
    row("worked example, a field a line", QByteArray(kWorked).replace(',', "\r\n"), 0, built, kWorkedUpdate);
    row("all-info.idf missing", "-", 53, "!number.sdf;!data;MakeFile=;Update=", kWorkedUpdate);
    row("update.idf missing", kWorked, 53, "number.sdf= 2 | 7 | 12 |;!000007.iud;MakeFile=;Update=", "-");

    const QByteArray site = oneSite("0,0,1,0", "0,Top", "", "0");
    row("update.idf holding only its date", site, 0, kSite + "Top|;!000001.iud;Update=2000/05/21");
    // A failed build can be run again: inputs and dates are left, and a short record writes nothing.
    row("update.idf with a trailing empty line", site, 62, "000001.iud=a|b|1|;!000000.iud;MakeFile=;Update=",
        crlf("2000/05/21|1,a,b,1||"));
    row("update.idf cut inside a record", site, 62, "000001.iud=a|b|1|;!000002.iud", crlf("2000/05/21|1,a,b,1|2,c|"));
    row("settings that cannot be written", site, 75, "@settings unwritable;000001.iud=a|b|1|",
        crlf("2000/05/21|1,a,b,1|"));
    row("data numbers name files by their 16-bit value",
        dataSet("0,0,5,0", "0,Top", "", "0007,A,,;7.5,B,,;6.5,C,,;-5,D,,;abc,E,,;-32768,F,,", ""), 0,
        "number.sdf= 5 | 7 | 7.5 | 6.5 |-5 | 0 |-32768 |;000007.ibd= 7 |A|||;000008.ibd= 7.5 |B|||;"
        "000006.ibd= 6.5 |C|||;000005.ibd=-5 |D|||;000000.ibd= 0 |E|||;032768.ibd=-32768 |F|||;"
        "000008.iud=a|b|c|;032768.iud=d|e|f|",
        crlf("2000/05/21|7.5,a,b,c|-32768,d,e,f|"));
    row("values the field rule would split or trim are quoted",
        dataSet("1,0,0,0", "0,Top;1,\"Jazz, Blues\"", "0,1", "1,\"Jazz, Blues\",\" Text \",URL", "1,1"), 0,
        "000001.ibd= 1 |\"Jazz, Blues\"|\" Text \"|URL|\"Top -> Jazz, Blues\"|");
    row("block-4 site not in block 3", dataSet("0,0,0,0", "0,Top", "", "", "1,0"), 0,
        "number.sdf= 0 |;000001.ibd=Top|");

    // Counts: a table has count + 1 places; counts are 16-bit numbers.
    row("count + 1 records in every block (counts 2, -1, 1, 0)",
        dataSet("2,-1,1,0", "0,Top;1,A;1,B", "", "1,T,S,L;2,T,S,L", "1,0"), 0,
        "number.sdf= 1 | 1 | 2 |;000001.ibd= 1 |T|S|L|Top|");
    row("block 1 count + 2", dataSet("1,0,0,0", "0,Top;1,A;2,B", "", "", ""), 9, "!number.sdf;MakeFile=");
    row("block 2 count + 2 (count -1)", dataSet("0,-1,0,0", "0,Top", "0,1", "", ""), 9, "");
    row("block 3 count + 2", dataSet("0,0,1,0", "0,Top", "", "1,T,S,L;2,T,S,L;3,T,S,L", ""), 9,
        "number.sdf= 1 | 1 | 2 |");
    row("block 4 count + 2", dataSet("0,0,0,1", "0,Top", "", "", "1,0;1,0;1,0"), 9, "000001.ibd=Top|Top|");
    row("count -2", dataSet("0,0,-2,0", "0,Top", "", "", ""), 9, "");
    row("count 40000", dataSet("0,0,40000,0", "0,Top", "", "", ""), 6, "");
    row("count not a number is 0", dataSet("x,0,0,0", "0,Top;1,A", "", "", ""), 9, "");
    row("counts 1.5 and 2.5 are 2", dataSet("1.5,0,2.5,0", "0,Top;1,A;2,B", "", "1,,,;2,,,;3,,,;4,,,", ""), 9,
        "number.sdf= 2 | 1 | 2 | 3 |");
    row("record index past 32767", dataSet("32767,0,0,0", "0,Top" + QString(";1,A").repeated(32768), "", "", ""), 6,
        "");

    // Section paths: the first match of each scan, spare entries included.
    const QString three = "0,Top;1,Music;2,Jazz";
    row("section 0 alone", oneSite("2,1,0,0", three, "0,1", "0"), 0, kSite + "Top|");
    row("first name of a section wins", oneSite("3,0,0,0", "0,Top;1,Music;1,Other;0,Root", "0,1", "1"), 0,
        kSite + "Top -> Music|");
    row("first link of a child wins", oneSite("2,1,0,0", three, "0,2;1,2", "2"), 0, kSite + "Top -> Jazz|");
    row("negative section id", oneSite("1,0,0,0", "0,Top;-3,Minus", "0,-3", "-3"), 0, kSite + "Top -> Minus|");
    row("no section 0, a spare entry names it empty (quoted: a path that begins with a blank)",
        dataSet("2,1,1,2", "1,Music;2,Jazz", "0,1;1,2", "1,Title,Text,URL", "1,2;1,1;1,0"), 0,
        kSite + "\" -> Music -> Jazz\"|\" -> Music\"||");
    row("no section 0 and no spare entry", oneSite("0,0,0,0", "1,Music", "0,1", "1"), 9, kSite);
    row("section without a name", oneSite("0,0,0,0", "0,Top", "0,5", "5"), 9, kSite);
    row("section without a link", oneSite("2,0,0,0", three, "1,2", "1"), 9, kSite);
    row("cycle in block 2", oneSite("2,1,0,0", three, "2,1;1,2", "2"), 9, kSite);
    // A scan of a table of 32768 entries overflows its index before it ends.
    row("name missed in a full table", oneSite("32767,0,0,0", "0,Top", "0,1", "1"), 6, kSite);
    row("link missed in a full table", oneSite("1,32767,0,0", "0,Top;1,Music", "", "1"), 6, kSite);
    // Paths longer, all together, than the builder keeps worked out.
    QString names = "0,Top", links = "0,1", path = "Top", upper;
    for (int k = 1; k <= 2000; ++k) {
        upper = path;
        path += QStringLiteral(" -> Section%1").arg(k, 5, 10, QLatin1Char('0'));
        names += QStringLiteral(";%1,Section%2").arg(k).arg(k, 5, 10, QLatin1Char('0'));
        links += k > 1 ? QStringLiteral(";%1,%2").arg(k - 1).arg(k) : QString();
    }
    row("2000 sections deep", dataSet("2000,2000,0,3", names, links, "1,T,S,L", "1,2000;1,1999;1,2000"), 0,
        "000001.ibd= 1 |T|S|L|" + path + '|' + upper + '|' + path + '|');

    // Bad input ends in a message with its number.
    row("empty all-info.idf", "", 62, "!number.sdf;MakeFile=");
    row("block 1 without its end", crlf("2000/05/20|0|0|0|0|0,Top|"), 62, "!number.sdf;MakeFile=");
    row("cut inside a site", site.left(site.indexOf("Text")), 62, "number.sdf= 1 | 1 |;000001.ibd= 1 |Title|");
    row("block 4 without its end", site.left(site.lastIndexOf("\"<END>\"")), 62, kSite + "Top|");
    row("lower-case sentinel is a record", dataSet("1,0,0,0", "<end>,Lower;0,Top", "", "", "1,0"), 0,
        "000001.ibd=Lower|");
    row("sentinel text inside a record", oneSite("0,0,1,0", "0,<END>", "", "0"), 0, kSite + "<END>|");
    row("anything after the last end", site + "garbage,\"x\r\n\x82\xa0", 0, kSite + "Top|");
    row("data number 32768", dataSet("0,0,1,0", "0,Top", "", "32768,T,S,L", ""), 6, "number.sdf= 1 |");
    QRandomGenerator random(20000520);
    for (int round = 1; round <= 5; ++round) {
        QByteArray bytes(int(random.bounded(1, 4000)), Qt::Uninitialized);
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        row(qPrintable(QStringLiteral("random bytes %1").arg(round)), bytes, -1, "", kWorkedUpdate);
    }

    // Failures of the file system: the data directory is retried once only.
    row("data is a file", kWorked, 75, "@data is a file;number.sdf= 2 |", kWorkedUpdate);
    row("site file is a link", kWorked, 75, "@000007.ibd is a link;number.sdf= 2 |;victim=old|", kWorkedUpdate);
#ifdef Q_OS_UNIX
    row("site file cannot be created", kWorked, 70, "@read-only data;number.sdf= 2 |;!000007.ibd", kWorkedUpdate);
#endif
}

void TestBuilder::build()
{
    QFETCH(QByteArray, allInfo);
    QFETCH(QByteArray, update);
    QFETCH(int, error);
    QFETCH(QString, checks);
    TestEnv env;
    Program program(env);
    for (const auto &[name, bytes] : {std::pair{kAllInfo, allInfo}, std::pair{kUpdate, update}})
        bytes == "-" ? void(QFile::remove(env.path(name))) : env.writeBytes(name, bytes);
    const QStringList tokens = checks.split(';', Qt::SkipEmptyParts);
    std::unique_ptr<ReadOnlyDir> readOnly;
    if (tokens.contains("@data is a file"))
        env.writeBytes("data", "x");
    if (tokens.contains("@000007.ibd is a link")) {
        env.writeBytes("victim", "old\r\n");
        env.makeDir("data");
        QVERIFY(QFile::link(env.path("victim"), env.path("data/000007.ibd")));
    }
    if (tokens.contains("@settings unwritable"))
        QVERIFY(QFile::remove(SettingsStore::location()) && QDir().mkpath(SettingsStore::location()));
    if (tokens.contains("@read-only data")) {
        // Root tests as another user, who may empty number.sdf in place but
        // create no file in data.
        env.writeBytes("number.sdf", "old");
#ifdef Q_OS_UNIX
        ::chmod(QFile::encodeName(env.path("number.sdf")).constData(), 0666);
#endif
        env.makeDir("data");
        readOnly = std::make_unique<ReadOnlyDir>(env.path("data"));
    }

    const QStringList shown = program.build();
    readOnly.reset();
    if (error < 0)
        QVERIFY(shown.size() == 2 && shown.first().startsWith(kOtherError) && shown.last() == "stopped");
    else if (tokens.contains("@settings unwritable"))
        QCOMPARE(shown, QStringList({"設定を保存できませんでした。ファイルを確かめてください。\r\n"
                                         + QDir::toNativeSeparators(SettingsStore::location()),
                                     "stopped"}));
    else
        QCOMPARE(shown, outcome(env, error, allInfo == "-" ? kAllInfo : kUpdate));
    for (const auto &[name, bytes] : {std::pair{kAllInfo, allInfo}, std::pair{kUpdate, update}})
        QVERIFY2(env.exists(name) == (error != 0 && bytes != "-" && !tokens.contains('!' + name)), qPrintable(name));
    verify(env, tokens);
}

// The window lives for the whole run: each build starts afresh, and every
// way out leads back to the menu.
void TestBuilder::oneWindowManyBuilds()
{
    TestEnv env;
    Program program(env);
    QCOMPARE(program.where(), "menu");
    env.writeBytes(kAllInfo, kWorked);
    env.writeBytes(kUpdate, kWorkedUpdate);
    QCOMPARE(program.build(), outcome(env, 0));
    QTest::mouseClick(program.end, Qt::LeftButton);
    QCOMPARE(program.where(), "menu");
    // The inputs are gone, but the menu keeps its button.
    QCOMPARE(program.build(), outcome(env, 53, kAllInfo));

    env.writeBytes(kAllInfo, dataSet("0,0,0,0", "0,Top;1,A", "", "", ""));
    env.writeBytes(kUpdate, crlf("2000/06/01|"));
    QCOMPARE(program.build(), outcome(env, 9));
    program.window->close();
    QCOMPARE(program.where(), "menu");

    // Nothing of the first build's sections is left; its site files are.
    env.writeBytes(kAllInfo, dataSet("0,0,0,0", "0,Root", "", "7,New,Text,URL", "7,0"));
    QCOMPARE(program.build(), outcome(env, 0));
    verify(env, {"number.sdf= 0 | 7 |", "000007.ibd= 7 |New|Text|URL|Root|", "000012.ibd", "Update=2000/06/01",
                 "000007.iud=#2000/05/18 21:04:33#|#2000/05/20#|1|"});
}

QTEST_MAIN(TestBuilder)
#include "tst_builder.moc"
