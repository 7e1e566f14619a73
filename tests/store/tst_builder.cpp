#include "gui/menu/form_menu.h"
#include "gui/kit/messagebox.h"
#include "platform/settingsstore.h"
#include "testenv.h"
#include "gui/kit/taskwindow.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

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
const QByteArray kWorkedUpdate = crlf(
    "2000/05/20|7,#2000/05/18 21:04:33#,#2000/05/20#,1|12,#2000/05/19 08:15:00#,#2000/05/20#,4|");
const QByteArray kDateOnly = crlf("2000/05/21|");
const QString kSite = "000001.ibd= 1 |Title|Text|URL|";
const QString kOtherError = "その他のエラーです。 エラー番号：";

// A row's checks, split at ";": "name=content" (a file, or the setting
// Date/MakeFile or Date/Update, empty when not saved) or "!name" (no such
// file); NNNNNN.ibd and .iud are in data/.
void verify(const TestEnv &env, const QStringList &checks)
{
    for (const QString &check : checks) {
        const bool absent = check.startsWith('!');
        QString name = check.section('=', 0, 0).mid(absent ? 1 : 0);
        if (name.endsWith(".ibd") || name.endsWith(".iud"))
            name.prepend("data/");
        if (name == "MakeFile" || name == "Update")
            QCOMPARE(env.setting("Date", name), check.section('=', 1));
        else if (absent)
            QVERIFY2(!env.exists(name), qPrintable(check));
        else
            QCOMPARE(env.readBytes(name), crlf(check.section('=', 1)));
    }
}

} // namespace

class TestBuilder : public QObject
{
    Q_OBJECT

private slots:
    void build_data();
    void build();
};

// One row of build_data(): all-info.idf and update.idf ("-" for none), the
// number the user is told (0 for none) and the checks (see verify()). A
// failure keeps the inputs unless a check says otherwise.
void row(const char *name, const QByteArray &allInfo, int error, const QString &checks,
         const QByteArray &update = kDateOnly)
{
    QTest::newRow(name) << allInfo << update << error << checks;
}

// Table rows are laid out by hand.
// clang-format off
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
    row("all-info.idf missing", "-", 53, "!number.sdf;!data;MakeFile=;Update=", kWorkedUpdate);
    row("update.idf missing", kWorked, 53, "number.sdf= 2 | 7 | 12 |;!000007.iud;MakeFile=;Update=", "-");

    const QByteArray site = oneSite("0,0,1,0", "0,Top", "", "0");
    // A failed build can be run again: inputs and dates are left.
    row("settings that cannot be written", site, 75, "000001.iud=a|b|1|",
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

    // Counts: a table has count + 1 places; counts are 16-bit numbers.
    row("count + 1 records in every block (counts 2, -1, 1, 0)",
        dataSet("2,-1,1,0", "0,Top;1,A;1,B", "", "1,T,S,L;2,T,S,L", "1,0"), 0,
        "number.sdf= 1 | 1 | 2 |;000001.ibd= 1 |T|S|L|Top|");
    row("block 3 count + 2", dataSet("0,0,1,0", "0,Top", "", "1,T,S,L;2,T,S,L;3,T,S,L", ""), 9,
        "number.sdf= 1 | 1 | 2 |");
    row("count -2", dataSet("0,0,-2,0", "0,Top", "", "", ""), 9, "");
    row("record index past 32767", dataSet("32767,0,0,0", "0,Top" + QString(";1,A").repeated(32768), "", "", ""), 6,
        "");

    // Section paths: the first match of each scan, spare entries included.
    row("first name of a section wins", oneSite("3,0,0,0", "0,Top;1,Music;1,Other;0,Root", "0,1", "1"), 0,
        kSite + "Top -> Music|");
    // A scan of a table of 32768 entries overflows its index before it ends.
    row("name missed in a full table", oneSite("32767,0,0,0", "0,Top", "0,1", "1"), 6, kSite);
    // Failures of the file system: the data directory is retried once only.
    row("site file is a link", kWorked, 75, "number.sdf= 2 |;victim=old|", kWorkedUpdate);
}
// clang-format on

void TestBuilder::build()
{
    QFETCH(QByteArray, allInfo);
    QFETCH(QByteArray, update);
    QFETCH(int, error);
    QFETCH(QString, checks);
    TestEnv env;
    // Start-up enables the build button only when both inputs open.
    env.writeBytes(kAllInfo, "x");
    env.writeBytes(kUpdate, "x");
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    TaskWindow *window = menu.taskWindow(Form_Menu::Task::SetFile);
    for (const auto &[name, bytes] : {std::pair{kAllInfo, allInfo}, std::pair{kUpdate, update}})
        bytes == "-" ? void(QFile::remove(env.path(name))) : env.writeBytes(name, bytes);
    const QString tag = QTest::currentDataTag();
    if (tag == "site file is a link") {
        env.writeBytes("victim", "old\r\n");
        env.makeDir("data");
        QVERIFY(QFile::link(env.path("victim"), env.path("data/000007.ibd")));
    }
    if (tag == "settings that cannot be written")
        QVERIFY(QFile::remove(SettingsStore::location()) && QDir().mkpath(SettingsStore::location()));

    QSignalSpy done(window, &TaskWindow::activationDone);
    QTest::mouseClick(menu.cmd_SetFile, Qt::LeftButton);
    QVERIFY(done.wait(10000));
    // Built: the window with 終了 usable; 53: back at the menu; else the window stopped.
    QStringList shown = MessageBox::takeRecorded();
    const bool end = window->findChild<QPushButton *>("cmd_End")->isEnabled();
    shown << (menu.isVisible() == window->isVisible() ? "both or neither shown"
                  : menu.isVisible()                  ? "menu"
                  : end                               ? "built"
                                                      : "stopped");
    const QString missing = QDir::toNativeSeparators(env.path(allInfo == "-" ? kAllInfo : kUpdate));
    if (tag == "settings that cannot be written")
        QCOMPARE(shown,
                 QStringList({"設定を保存できませんでした。ファイルを確かめてください。\r\n"
                                  + QDir::toNativeSeparators(SettingsStore::location()),
                              "stopped"}));
    else if (error == 53)
        QCOMPARE(shown,
                 QStringList({"ファイルが存在しません。ファイルを確かめてください。",
                              "存在しないファイルは、\r\n" + missing + "です。", "menu"}));
    else
        QCOMPARE(shown,
                 error ? QStringList({kOtherError + QString::number(error), "stopped"}) : QStringList({"built"}));
    for (const auto &[name, bytes] : {std::pair{kAllInfo, allInfo}, std::pair{kUpdate, update}})
        QVERIFY2(env.exists(name) == (error != 0 && bytes != "-" && !checks.contains('!' + name)), qPrintable(name));
    verify(env, checks.split(';', Qt::SkipEmptyParts));
}

QTEST_MAIN(TestBuilder)
#include "tst_builder.moc"
