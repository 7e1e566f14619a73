#include "../remote/servers.h"
#include "app/form_menu.h"
#include "app/taskwindow.h"
#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "remote/statuspage.h"
#include "sampledata.h"
#include "store/textfile.h"
#include "testenv.h"

#include <QDir>
#include <QDirIterator>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace {

const QDate kToday(2000, 5, 20); // the test clock's day
const QString kCrLf = QStringLiteral("\r\n");

SampleData::Layout layoutFor(const TestEnv &env, const QString &pagesDir, const QString &url,
                             const QDate &today = kToday)
{
    SampleData::Layout layout;
    layout.programDir = env.dir();
    layout.pagesDir = pagesDir;
    layout.dataUrl = url;
    layout.today = today;
    return layout;
}

// Every file below a directory, by relative path, with its bytes.
std::map<QString, QByteArray> snapshot(const QString &dir)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files[QDir(dir).relativeFilePath(file.fileName())] = file.readAll();
    }
    return files;
}

QStringList lines(const QByteArray &bytes)
{
    QStringList all = TextRules::decode(bytes).split(kCrLf);
    all.removeLast(); // after the last line end
    return all;
}

qint16 codeOf(const QString &colour)
{
    static const QHash<QString, qint16> codes{{QStringLiteral("0000FF"), 1},
                                              {QStringLiteral("00FF00"), 2},
                                              {QStringLiteral("FF0000"), 3},
                                              {QStringLiteral("000000"), 4}};
    return codes.value(colour, -1);
}

template <typename T>
T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// The abort below runs no destructor, so the servers this program started
// are ended here: its own children, found by their parent's id.
void endChildren()
{
#ifdef Q_OS_UNIX
    const QByteArray self = QByteArray::number(qlonglong(::getpid()));
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks, so count from its ")".
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.value(1) == self)
            ::kill(pid_t(entry.toLongLong()), SIGTERM);
    }
#endif
}

// Ends the test program when a call does not return in time: a deadlock on
// the test's own thread cannot be waited out there.
class Watchdog
{
public:
    Watchdog(std::chrono::seconds limit, const char *what)
        : m_thread([this, limit, what] {
            std::unique_lock lock(m_mutex);
            if (!m_finished.wait_for(lock, limit, [this] { return m_done; })) {
                std::fprintf(stderr, "FAIL! %s did not return within %lld s\n", what, qlonglong(limit.count()));
                endChildren();
                std::abort();
            }
        })
    {
    }
    ~Watchdog()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_finished.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace

class TestSampleData : public QObject
{
    Q_OBJECT

private slots:
    void filesFollowTheTextRules_data();
    void filesFollowTheTextRules();
    void sites_data();
    void sites();
    void sectionTree();
    void dailyPages_data();
    void dailyPages();
    void buildAndDownload();
    void secondLayOut_data();
    void secondLayOut();
    void servedSpan_data();
    void servedSpan();
    // Last: a deadlock there ends the whole program.
    void downloadWithTheSystemClock();
};

void TestSampleData::filesFollowTheTextRules_data()
{
    QTest::addColumn<QString>("name"); // in the program directory, or "pages/" and a page
    QTest::addColumn<bool>("japanese");

    QTest::newRow("all-info.idf") << QStringLiteral("all-info.idf") << true;
    QTest::newRow("update.idf") << QStringLiteral("update.idf") << false;
    QTest::newRow("url.dat") << QStringLiteral("url.dat") << false;
    QTest::newRow("pages.udf") << QStringLiteral("pages.udf") << true;
    QTest::newRow("a built description") << QStringLiteral("data/000007.ibd") << true;
    QTest::newRow("first daily page") << QStringLiteral("pages/20000507.html") << true;
    QTest::newRow("today's page") << QStringLiteral("pages/20000520.html") << true;
}

void TestSampleData::filesFollowTheTextRules()
{
    QFETCH(QString, name);
    QFETCH(bool, japanese);

    TestEnv env;
    SampleData::layOut(layoutFor(env, env.path(QStringLiteral("pages")), QStringLiteral("http://127.0.0.1:1/daily/")));
    const QByteArray bytes = env.readBytes(name);
    QVERIFY(!bytes.isEmpty());
    // windows-31j throughout: decoding and encoding again gives the same bytes.
    QCOMPARE(TextRules::encode(TextRules::decode(bytes)), bytes);
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\r'), bytes.count('\n'));
    QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
    QCOMPARE(std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0x80; }), japanese);
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
}

void TestSampleData::sites_data()
{
    QTest::addColumn<qint16>("number");
    for (const SampleData::Site &site : SampleData::sites())
        QTest::newRow(qPrintable(QString::number(site.number))) << site.number;
}

void TestSampleData::sites()
{
    QFETCH(qint16, number);
    const SampleData::Site *site = SampleData::site(number);
    QVERIFY(site);

    // The fields survive the field reading rule, and the title does not hold
    // the "(" that a status page puts before the data number.
    for (const QString &field : {site->title, site->description, site->link}) {
        QVERIFY2(!field.contains(QLatin1Char(',')) && !field.startsWith(QLatin1Char('"'))
                     && field.trimmed() == field && !field.isEmpty(),
                 qPrintable(field));
    }
    QVERIFY(!site->title.contains(QLatin1Char('(')));
    QVERIFY(std::any_of(site->title.begin(), site->title.end(), [](QChar c) { return c.unicode() >= 0x3000; }));
    QVERIFY(std::any_of(site->description.begin(), site->description.end(),
                        [](QChar c) { return c.unicode() >= 0x3000; }));

    // Links stay under the domains reserved for examples.
    const QUrl link(site->link);
    QVERIFY2(link.isValid() && link.scheme().startsWith(QLatin1String("http")), qPrintable(site->link));
    static const QRegularExpression reserved(QStringLiteral("^(([a-z0-9-]+\\.)*example\\.(com|org|net)|([a-z0-9-]+\\.)+example)$"));
    QVERIFY2(reserved.match(link.host()).hasMatch(), qPrintable(link.host()));

    QVERIFY(!site->sections.isEmpty());
    for (qint16 section : site->sections)
        QVERIFY2(section != 0 && !SampleData::sectionPath(section).isEmpty(), qPrintable(QString::number(section)));
}

void TestSampleData::sectionTree()
{
    const QList<SampleData::Site> &sites = SampleData::sites();
    QVERIFY(sites.size() >= 55 && sites.size() <= 70);
    QSet<qint16> numbers;
    int inSeveral = 0;
    int deepest = 0;
    for (const SampleData::Site &site : sites) {
        numbers.insert(site.number);
        inSeveral += site.sections.size() > 1 ? 1 : 0;
        for (qint16 section : site.sections)
            deepest = std::max(deepest, int(SampleData::sectionPath(section).count(QStringLiteral(" -> "))));
    }
    QCOMPARE(numbers.size(), sites.size());
    QVERIFY(inSeveral >= 10);
    QCOMPARE(deepest, 4); // the root, then four levels

    int levelThree = 0;
    QSet<qint16> ids;
    for (const SampleData::Section &section : SampleData::sections()) {
        QVERIFY2(section.id == 0 || ids.contains(section.parent), qPrintable(section.name)); // parents first
        ids.insert(section.id);
        levelThree += SampleData::sectionPath(section.id).count(QStringLiteral(" -> ")) == 3 ? 1 : 0;
    }
    QVERIFY(levelThree >= 10);
}

void TestSampleData::dailyPages_data()
{
    QTest::addColumn<QDate>("day");
    QTest::newRow("2000/05/20") << QDate(2000, 5, 20);
    QTest::newRow("leap day") << QDate(2000, 2, 29);
    QTest::newRow("new year's eve") << QDate(1999, 12, 31);
    QTest::newRow("new year") << QDate(2000, 1, 1);
    QTest::newRow("far ahead") << QDate(2038, 1, 19);
}

void TestSampleData::dailyPages()
{
    QFETCH(QDate, day);

    TestEnv env;
    SampleData::writeDailyPages(env.dir(), day, day);
    const QByteArray bytes = env.readBytes(SampleData::pageName(day));
    // Read as the download reads it: decoded by the page's own charset, then parsed.
    const QString text = Inet::decodeBody(bytes, "text/html");
    QCOMPARE(TextRules::encode(text), bytes);
    const StatusPage::Page page = StatusPage::parse(text, 0);
    // Every colour tag on the page made a record.
    QCOMPARE(page.records.size(), text.count(QStringLiteral("<FONT COLOR='#")));
    QVERIFY(page.records.size() >= 4 && page.records.size() <= 7);

    QSet<qint16> codes;
    QSet<qint16> numbers;
    static const QRegularExpression stamp(QStringLiteral("^#(\\d{4}/\\d{2}/\\d{2}) \\d{2}:\\d{2}:\\d{2}#$"));
    for (const StatusPage::Record &record : page.records) {
        codes.insert(record.methodCode);
        numbers.insert(record.dataNumber);
        QVERIFY(SampleData::site(record.dataNumber));
        const QRegularExpressionMatch match = stamp.match(record.lastModified);
        QVERIFY2(match.hasMatch(), qPrintable(record.lastModified));
        QVERIFY(StatusPage::readDate(match.captured(1)) < day);
    }
    QCOMPARE(codes, (QSet<qint16>{1, 2, 3, 4}));
    QCOMPARE(numbers.size(), page.records.size());
    // The same day gives the same page at every start.
    QCOMPARE(SampleData::dailyPage(day), text);
}

void TestSampleData::buildAndDownload()
{
    TestEnv env;
    WebServer web;
    const QString notRunning = web.start();
    if (!notRunning.isEmpty())
        QSKIP(qPrintable(notRunning));
    const QStringList report = SampleData::layOut(layoutFor(env, web.dir(), web.url()));
    QCOMPARE(report.size(), 5);
    const std::map<QString, QByteArray> preBuilt = snapshot(env.dir());
    const QByteArray updateIdf = env.readBytes(QStringLiteral("update.idf"));

    // Every button works on the first start.
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    for (const char *name : {"cmd_SetFile", "Cmd_Show", "cmd_ShowPage", "Command1", "cmd_Update"})
        QVERIFY2(child<QPushButton>(&menu, name)->isEnabled(), name);

    // The real builder, through its window.
    TaskWindow *build = menu.taskWindow(Form_Menu::Task::SetFile);
    QSignalSpy built(build, &TaskWindow::activationDone);
    QTest::mouseClick(child<QPushButton>(&menu, "cmd_SetFile"), Qt::LeftButton);
    QVERIFY(built.wait(20000));
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
    QVERIFY(!env.exists(QStringLiteral("all-info.idf")) && !env.exists(QStringLiteral("update.idf")));
    QTest::mouseClick(child<QPushButton>(build, "cmd_End"), Qt::LeftButton);
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/07"));
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("MakeFile")), QStringLiteral("2000/05/07"));

    // The files the demo starts with are the builder's own.
    const std::map<QString, QByteArray> afterBuild = snapshot(env.dir());
    for (const auto &[name, bytes] : afterBuild)
        QVERIFY2(preBuilt.count(name) && preBuilt.at(name) == bytes, qPrintable(name));

    const QStringList index = lines(env.readBytes(QStringLiteral("number.sdf")));
    QCOMPARE(index.size(), SampleData::sites().size() + 1);
    QCOMPARE(index[0], QStringLiteral(" %1 ").arg(SampleData::sites().size()));
    const QStringList states = lines(updateIdf);
    for (qsizetype i = 0; i < SampleData::sites().size(); ++i) {
        const SampleData::Site &site = SampleData::sites()[i];
        const QString name = QStringLiteral("data/%1").arg(site.number, 6, 10, QLatin1Char('0'));
        QCOMPARE(index[i + 1], QStringLiteral(" %1 ").arg(site.number));
        const QStringList ibd = lines(env.readBytes(name + QStringLiteral(".ibd")));
        QCOMPARE(ibd.mid(0, 4), (QStringList{QStringLiteral(" %1 ").arg(site.number), site.title, site.description,
                                             site.link}));
        QCOMPARE(ibd.size(), 4 + site.sections.size());
        for (qsizetype k = 0; k < site.sections.size(); ++k)
            QVERIFY2(ibd[4 + k].startsWith(QStringLiteral("トップ -> ")) && ibd[4 + k].count(QStringLiteral(" -> ")) >= 1,
                     qPrintable(ibd[4 + k]));
        // The update states in their "#"-framed forms, as delivered.
        const QStringList fields = states[i + 1].split(QLatin1Char(','));
        QCOMPARE(fields[0].toInt(), int(site.number));
        QCOMPARE(lines(env.readBytes(name + QStringLiteral(".iud"))), fields.mid(1));
    }
    const QStringList deepest = lines(env.readBytes(QStringLiteral("data/000007.ibd")));
    QCOMPARE(deepest[4], QStringLiteral("トップ -> 芸術・文化 -> 音楽 -> ジャズ -> ピアノトリオ"));

    // The real download, through its window, from the real server.
    TaskWindow *update = menu.taskWindow(Form_Menu::Task::Update);
    QSignalSpy downloaded(update, &TaskWindow::activationDone);
    QTest::mouseClick(child<QPushButton>(&menu, "cmd_Update"), Qt::LeftButton);
    QVERIFY(downloaded.wait(60000));
    const QString log = child<QPlainTextEdit>(update, "txt_Condition")->toPlainText();
    QStringList expectedPaths;
    std::map<qint16, QString> expected; // the latest record of each listed site
    for (QDate day = QDate(2000, 5, 7); day <= kToday; day = day.addDays(1)) {
        expectedPaths.append(QLatin1Char('/') + SampleData::pageName(day));
        QVERIFY2(log.contains(StatusPage::dateText(day) + QStringLiteral(" 終了")), qPrintable(log));
        for (const SampleData::PageRecord &record : SampleData::pageRecords(day))
            expected[record.number] = QLatin1Char('#') + record.modified + QStringLiteral("#\r\n#")
                + StatusPage::dateText(day) + QStringLiteral("#\r\n ") + QString::number(codeOf(record.colour))
                + QStringLiteral(" \r\n");
    }
    QCOMPARE(web.requests(), expectedPaths);
    QVERIFY(log.endsWith(QStringLiteral("完了\n")));
    QVERIFY(!log.contains(QStringLiteral("存在しません")));
    QCOMPARE(env.setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/21"));
    QVERIFY(expected.size() >= 20);
    for (const SampleData::Site &site : SampleData::sites()) {
        const QString name = QStringLiteral("data/%1.iud").arg(site.number, 6, 10, QLatin1Char('0'));
        const auto listed = expected.find(site.number);
        if (listed == expected.end())
            QCOMPARE(env.readBytes(name), afterBuild.at(name));
        else
            QCOMPARE(env.readText(name), listed->second);
    }
    QTest::mouseClick(child<QPushButton>(update, "cmd_OK"), Qt::LeftButton);
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
}

// The demo runs on the real clock, which the other tests stand still.
void TestSampleData::downloadWithTheSystemClock()
{
    TestEnv env;
    WebServer web;
    const QString notRunning = web.start();
    if (!notRunning.isEmpty())
        QSKIP(qPrintable(notRunning));
    Clock::instance().useSystemTime();
    const QDate today = Clock::instance().today();
    SampleData::layOut(layoutFor(env, web.dir(), web.url(), today));
    // A run that passes midnight asks for the next day's page too.
    SampleData::writeDailyPages(web.dir(), today.addDays(-13), today.addDays(1));

    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    TaskWindow *update = menu.taskWindow(Form_Menu::Task::Update);
    QSignalSpy done(update, &TaskWindow::activationDone);
    {
        const Watchdog watchdog(std::chrono::seconds(60), "the download on the system clock");
        QTest::mouseClick(child<QPushButton>(&menu, "cmd_Update"), Qt::LeftButton);
        QVERIFY(done.wait(30000));
    }
    const QString log = child<QPlainTextEdit>(update, "txt_Condition")->toPlainText();
    Clock::instance().setTestTime(QDateTime(kToday, QTime(12, 0)));
    QVERIFY2(log.contains(StatusPage::dateText(today.addDays(-13)) + QStringLiteral(" 終了")), qPrintable(log));
    QVERIFY2(log.contains(StatusPage::dateText(today) + QStringLiteral(" 終了")), qPrintable(log));
    QVERIFY(!log.contains(QStringLiteral("存在しません")));
    QVERIFY(log.endsWith(QStringLiteral("完了\n")));
    QVERIFY(web.requests().size() >= 14);
    QTest::mouseClick(child<QPushButton>(update, "cmd_OK"), Qt::LeftButton);
}

void TestSampleData::secondLayOut_data()
{
    QTest::addColumn<QString>("between"); // what happens between the two lay-outs
    QTest::addColumn<QStringList>("kept"); // files whose bytes stay
    QTest::addColumn<QStringList>("rewritten"); // files written anew for the later day

    const QStringList built{QStringLiteral("number.sdf"), QStringLiteral("data/000007.ibd"),
                            QStringLiteral("data/000007.iud"), QStringLiteral("pages.udf")};
    QTest::newRow("user's edits stay")
        << QStringLiteral("edit") << built + QStringList{QStringLiteral("url.dat"), QStringLiteral("all-info.idf"), QStringLiteral("update.idf")}
        << QStringList();
    QTest::newRow("built data set placed again")
        << QStringLiteral("build") << built + QStringList{QStringLiteral("url.dat")}
        << QStringList{QStringLiteral("all-info.idf"), QStringLiteral("update.idf")};
    QTest::newRow("user's own data set stays")
        << QStringLiteral("own") << built + QStringList{QStringLiteral("all-info.idf")} << QStringList();
}

void TestSampleData::secondLayOut()
{
    QFETCH(QString, between);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, rewritten);

    TestEnv env;
    const QString pages = env.path(QStringLiteral("pages"));
    SampleData::layOut(layoutFor(env, pages, QStringLiteral("http://127.0.0.1:1/")));
    if (between == QLatin1String("edit")) {
        env.writeText(QStringLiteral("url.dat"), QStringLiteral("http://mine.example/\r\n\r\n"));
        env.writeText(QStringLiteral("pages.udf"), QStringLiteral(" 1 \r\n000003 ジャズ・コーナー\r\n"));
        env.writeText(QStringLiteral("data/000007.iud"), QStringLiteral("#2000/05/19 10:00:00#\r\n#2000/05/20#\r\n 2 \r\n"));
    } else if (between == QLatin1String("build")) {
        QFile::remove(env.path(QStringLiteral("all-info.idf")));
        QFile::remove(env.path(QStringLiteral("update.idf")));
    } else {
        env.writeText(QStringLiteral("all-info.idf"), QStringLiteral("mine\r\n"));
        QFile::remove(env.path(QStringLiteral("update.idf")));
    }
    const std::map<QString, QByteArray> before = snapshot(env.dir());

    const QDate later = kToday.addDays(30);
    SampleData::layOut(layoutFor(env, pages, QStringLiteral("http://127.0.0.1:2/"), later));
    for (const QString &name : kept)
        QVERIFY2(env.readBytes(name) == before.at(name), qPrintable(name));
    for (const QString &name : rewritten)
        QVERIFY2(lines(env.readBytes(name)).value(0) == StatusPage::dateText(later.addDays(-13)), qPrintable(name));
    if (between == QLatin1String("own"))
        QVERIFY(!env.exists(QStringLiteral("update.idf")));

    // Only the pages are always new: the last 14 days, and the day the next
    // download starts from.
    const QStringList served = QDir(pages).entryList(QDir::Files, QDir::Name);
    QCOMPARE(served.last(), SampleData::pageName(later));
    QCOMPARE(served.first(), SampleData::pageName(SampleData::firstServedDay(layoutFor(env, pages, QString(), later))));
    QVERIFY(served.size() >= 14);
}

void TestSampleData::servedSpan_data()
{
    QTest::addColumn<QString>("stored"); // "Date"/"Update"; "" for none
    QTest::addColumn<QString>("waiting"); // first field of a waiting update.idf; "" for none
    QTest::addColumn<QDate>("first");

    QTest::newRow("nothing stored") << QString() << QString() << QDate(2000, 5, 7);
    QTest::newRow("stored within the fortnight") << QStringLiteral("2000/05/15") << QString() << QDate(2000, 5, 7);
    QTest::newRow("stored tomorrow") << QStringLiteral("2000/05/21") << QString() << QDate(2000, 5, 7);
    QTest::newRow("stored a month back") << QStringLiteral("2000/04/20") << QString() << QDate(2000, 4, 20);
    QTest::newRow("stored years back: bounded") << QStringLiteral("1990/01/01") << QString() << QDate(1999, 4, 17);
    QTest::newRow("stored text is no date") << QStringLiteral("someday") << QString() << QDate(2000, 5, 7);
    QTest::newRow("older data set waiting") << QString() << QStringLiteral("2000/03/01") << QDate(2000, 3, 1);
    QTest::newRow("both: the earlier") << QStringLiteral("2000/04/01") << QStringLiteral("2000/04/10")
                                       << QDate(2000, 4, 1);
}

void TestSampleData::servedSpan()
{
    QFETCH(QString, stored);
    QFETCH(QString, waiting);
    QFETCH(QDate, first);

    TestEnv env;
    if (!stored.isEmpty())
        SettingsStore::save(QStringLiteral("Date"), QStringLiteral("Update"), stored);
    if (!waiting.isEmpty())
        env.writeText(QStringLiteral("update.idf"), waiting + kCrLf);
    QCOMPARE(SampleData::firstServedDay(layoutFor(env, QString(), QString())), first);
}

QTEST_MAIN(TestSampleData)
#include "tst_sampledata.moc"
