#include "app/form_menu.h"
#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/messagebox.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"
#include "remote/form_setting.h"
#include "remote/form_update.h"
#include "remote/urlfile.h"
#include "remote/statuspage.h"
#include "app/textutil.h"
#include "servers.h"
#include "store/textfile.h"
#include "testenv.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString kTime = QStringLiteral("21:04:33");

QString page(const QString &records)
{
    return QStringLiteral("<HTML><HEAD><TITLE>更新状況</TITLE></HEAD><BODY>\r\n") + records
        + QStringLiteral("</BODY></HTML>\r\n");
}

// One record of a page in a short notation: a colour letter (B 0000FF,
// G 00FF00, R FF0000, K 000000, b 0000ff, r ff0000, X C0C0C0), the data
// number and optionally "@hh:mm:ss"; or "stray7" (a "(" before the number's),
// "cut8" (no date tag) or "plain" (no colour tag).
QString record(const QString &token, const QDate &day)
{
    static const QHash<QChar, QString> colours = {
        {u'B', QStringLiteral("0000FF")}, {u'G', QStringLiteral("00FF00")}, {u'R', QStringLiteral("FF0000")},
        {u'K', QStringLiteral("000000")}, {u'b', QStringLiteral("0000ff")}, {u'r', QStringLiteral("ff0000")},
        {u'X', QStringLiteral("C0C0C0")}};
    const QString when = QStringLiteral("<FONT Size=2>") + StatusPage::dateText(day) + QLatin1Char(' ');
    if (token.startsWith(QLatin1String("stray")))
        return QStringLiteral("<FONT COLOR='#FF0000'>音楽(ジャズ)館 (") + token.mid(5) + QStringLiteral(")</FONT>") + when
            + kTime + QStringLiteral("</FONT><BR>\r\n");
    if (token.startsWith(QLatin1String("cut")))
        return QStringLiteral("<FONT COLOR='#00FF00'>壊れた記録 (") + token.mid(3) + QStringLiteral(")</FONT><BR>\r\n");
    if (token == QLatin1String("plain"))
        return QStringLiteral("本日の更新はありません (0) <FONT Size=2>x<BR>\r\n");
    const QString number = token.mid(1).section(QLatin1Char('@'), 0, 0);
    const QString time = token.contains(QLatin1Char('@')) ? token.section(QLatin1Char('@'), 1) : kTime;
    return QStringLiteral("<FONT COLOR='#") + colours.value(token.at(0)) + QStringLiteral("'>ジャズ館 (") + number
        + QStringLiteral(")</FONT> 更新日時 ") + when + time + QStringLiteral("</FONT><BR>\r\n");
}

QDate day8(const QString &yyyymmdd)
{
    return QDate::fromString(yyyymmdd, QStringLiteral("yyyyMMdd"));
}

// "yyyymmdd=tokens; ..." as pages; "-" is a page with an empty body.
QHash<QString, QByteArray> pages(const QString &notation)
{
    QHash<QString, QByteArray> files;
    for (const QString &entry : notation.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char('='), 0, 0).trimmed();
        const QString tokens = entry.section(QLatin1Char('='), 1).trimmed();
        QString records;
        for (const QString &token : tokens.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            records += record(token, day8(name));
        files.insert(name + QStringLiteral(".html"), tokens == QLatin1String("-") ? QByteArray() : sjis(page(records)));
    }
    return files;
}

QByteArray pageOf(const QString &tokens, const QString &yyyymmdd = QStringLiteral("20000520"))
{
    return pages(yyyymmdd + QLatin1Char('=') + tokens).value(yyyymmdd + QStringLiteral(".html"));
}

// "number:code:yyyymmdd[@hh:mm:ss] ..." as "NNNNNN=contents" of update-state files.
QStringList expectedFiles(const QString &notation)
{
    QStringList files;
    for (const QString &entry : notation.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = entry.split(QLatin1Char(':'));
        const QString day = StatusPage::dateText(day8(parts.at(2).left(8)));
        const QString time = parts.at(2).contains(QLatin1Char('@')) ? entry.section(QLatin1Char('@'), 1) : kTime;
        files.append(TextUtil::Pad6(qint16(parts.at(0).toInt())) + QStringLiteral("=#") + day + QLatin1Char(' ')
                     + time + QStringLiteral("#\r\n#") + day + QStringLiteral("#\r\n ") + parts.at(1)
                     + QStringLiteral(" \r\n"));
    }
    files.sort();
    return files;
}

// "NNNNNN=contents" for every update-state file in data, by name.
QStringList iudFiles(const TestEnv &env)
{
    QStringList files;
    const QDir data(env.path(QStringLiteral("data")));
    for (const QString &name : data.entryList({QStringLiteral("*.iud")}, QDir::Files, QDir::Name))
        files.append(name.left(6) + QLatin1Char('=') + env.readText(QStringLiteral("data/") + name));
    return files;
}

// Log lines written with "|" between them.
QString lines(const QString &notation)
{
    return QString(notation).replace(QLatin1Char('|'), QLatin1Char('\n')) + QLatin1Char('\n');
}

// One window as the menu would make it, with the settings it reads.
class Window
{
public:
    Window(const QString &url, const QString &proxy = QString())
        : setting(std::make_unique<Form_Setting>(&menu))
    {
        setting->txt_URL->setText(url);
        setting->txt_Proxy->setText(proxy);
        form = new Form_Update(&menu, setting.get());
    }
    ~Window() { delete form; }

    // Shows it from the menu and waits for its activation run to end.
    bool run()
    {
        menu.hide();
        QSignalSpy done(form, &TaskWindow::activationDone);
        form->showFromMenu();
        return done.wait(120000);
    }
    QString log() const { return form->txt_Condition->toPlainText(); }
    QString caption() const { return form->lab_Update->text(); }

    QWidget menu;
    std::unique_ptr<Form_Setting> setting;
    QPointer<Form_Update> form;
};

} // namespace

class TestFormUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void looksAsDesigned();
    void runs_data();
    void runs();
    void runPassingMidnight();
    void faults_data();
    void faults();
    void timeOut_data();
    void timeOut();
    void proxies_data();
    void proxies();
    void unwritableFiles_data();
    void unwritableFiles();
    void stateChanged_data();
    void stateChanged();
    void frameCloseDuringAndAfterRun();
    void menuMakesAFreshWindowEachTime();

private:
    void setStored(const QString &stored);

    WebServer m_web;
    QString m_webMissing;
    std::unique_ptr<TestEnv> m_env;
};

void TestFormUpdate::initTestCase()
{
    m_webMissing = m_web.start();
}

void TestFormUpdate::init()
{
    m_env = std::make_unique<TestEnv>();
    m_env->makeDir(QStringLiteral("data"));
    m_web.clear();
}

void TestFormUpdate::cleanup()
{
    QCOMPARE(MessageBox::takeRecorded(), QStringList()); // the download shows none
    m_env.reset();
}

void TestFormUpdate::setStored(const QString &stored)
{
    if (stored != QLatin1String("<none>"))
        SettingsStore::save(QStringLiteral("Date"), QStringLiteral("Update"), stored);
}

void TestFormUpdate::looksAsDesigned()
{
    Window window(QStringLiteral("http://127.0.0.1:1/"));
    Form_Update *form = window.form;
    QCOMPARE(form->windowTitle(), QStringLiteral("更新状況確認"));
    QCOMPARE(form->centralWidget()->size(), QSize(312, 240));
    QCOMPARE(form->lab_Update->geometry(), QRect(56, 8, 193, 25));
    QCOMPARE(form->txt_Condition->geometry(), QRect(8, 40, 297, 153));
    QCOMPARE(form->cmd_OK->geometry(), QRect(120, 200, 81, 33));
    QCOMPARE(form->lab_Update->text(), QString());
    QVERIFY(form->lab_Update->autoFillBackground());
    QCOMPARE(form->lab_Update->palette().color(QPalette::Window), QColor(255, 255, 0));
    QCOMPARE(form->txt_Condition->toPlainText(), QString());
    QCOMPARE(form->txt_Condition->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(form->cmd_OK->text(), QStringLiteral("確認"));
    QVERIFY(!form->cmd_OK->isEnabled());
    QCOMPARE(form->findChild<Inet *>(QStringLiteral("Inet1")), form->Inet1);

    // The log is first in the tab order, the button next.
    SettingsStore::save(QStringLiteral("Date"), QStringLiteral("Update"), QStringLiteral("2000/05/21"));
    QVERIFY(window.run());
    QApplication::setActiveWindow(form);
    form->txt_Condition->setFocus();
    QTest::keyClick(form->txt_Condition, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->cmd_OK);
}

void TestFormUpdate::runs_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("pages");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("storedAfter");
    QTest::addColumn<QString>("files");

    const QDateTime noon(QDate(2000, 5, 20), QTime(12, 0));
    auto at = [](int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(8, 0)); };
    QTest::newRow("stored date after today: no request")
        << "2000/05/21" << noon << "20000521=B7" << "" << "完了" << "2000/05/21" << "";
    QTest::newRow("stored date is today")
        << "2000/05/20" << noon << "20000520=B7 K12@08:15:00" << "20000520"
        << "000007 終了|000012 終了|2000/05/20 終了|完了" << "2000/05/21" << "7:1:20000520 12:4:20000520@08:15:00";
    QTest::newRow("three days back: four requests in date order")
        << "2000/05/17" << noon << "20000517=B1; 20000518=G2; 20000519=R3 K1@23:59:59; 20000520="
        << "20000517 20000518 20000519 20000520"
        << "000001 終了|2000/05/17 終了|000002 終了|2000/05/18 終了|000003 終了|000001 終了|2000/05/19 終了|2000/05/20 終了|完了"
        << "2000/05/21" << "1:4:20000519@23:59:59 2:2:20000518 3:3:20000519";
    QTest::newRow("first page missing")
        << "2000/05/20" << noon << "" << "20000520" << "2000/05/20 存在しません。|完了" << "2000/05/19" << "";
    QTest::newRow("missing page after found ones")
        << "2000/05/18" << at(2000, 5, 25) << "20000518=; 20000519=; 20000520=; 20000522="
        << "20000518 20000519 20000520 20000521"
        << "2000/05/18 終了|2000/05/19 終了|2000/05/20 終了|2000/05/21 存在しません。|完了" << "2000/05/20" << "";
    QTest::newRow("month end") << "2000/04/30" << at(2000, 5, 1) << "20000430=; 20000501=" << "20000430 20000501"
                               << "2000/04/30 終了|2000/05/01 終了|完了" << "2000/05/02" << "";
    QTest::newRow("year end") << "1999/12/31" << at(2000, 1, 1) << "19991231=R5; 20000101=" << "19991231 20000101"
                              << "000005 終了|1999/12/31 終了|2000/01/01 終了|完了" << "2000/01/02" << "5:3:19991231";
    QTest::newRow("29 February")
        << "2000/02/28" << at(2000, 3, 1) << "20000228=; 20000229=G29; 20000301=" << "20000228 20000229 20000301"
        << "2000/02/28 終了|000029 終了|2000/02/29 終了|2000/03/01 終了|完了" << "2000/03/02" << "29:2:20000229";
    QTest::newRow("no 29 February in 2100") << "2100/02/28" << at(2100, 3, 1) << "21000228=; 21000301="
                                            << "21000228 21000301" << "2100/02/28 終了|2100/03/01 終了|完了"
                                            << "2100/03/02" << "";
    QTest::newRow("page without colour tags") << "2000/05/20" << noon << "20000520=plain" << "20000520"
                                              << "2000/05/20 終了|完了" << "2000/05/21" << "";
    QTest::newRow("lower-case colours take the previous code, 0 at first")
        << "2000/05/19" << noon << "20000519=r1 G2; 20000520=b3 X4" << "20000519 20000520"
        << "000001 終了|000002 終了|2000/05/19 終了|000003 終了|000004 終了|2000/05/20 終了|完了" << "2000/05/21"
        << "1:0:20000519 2:2:20000519 3:2:20000520 4:2:20000520";
    QTest::newRow("site listed twice: the second record stands")
        << "2000/05/20" << noon << "20000520=B7@01:00:00 K7@02:00:00" << "20000520"
        << "000007 終了|000007 終了|2000/05/20 終了|完了" << "2000/05/21" << "7:4:20000520@02:00:00";
    QTest::newRow("stray bracket writes data number 0")
        << "2000/05/20" << noon << "20000520=stray7" << "20000520" << "000000 終了|2000/05/20 終了|完了"
        << "2000/05/21" << "0:3:20000520";
    QTest::newRow("empty 200") << "2000/05/20" << noon << "20000520=-" << "20000520" << "2000/05/20 終了|完了"
                               << "2000/05/21" << "";
    QTest::newRow("no stored date: from today") << "<none>" << noon << "20000520=" << "20000520"
                                                << "2000/05/20 終了|完了" << "2000/05/21" << "";
    QTest::newRow("stored text is no date: from today") << "unknown" << noon << "" << "20000520"
                                                        << "2000/05/20 存在しません。|完了" << "2000/05/19" << "";
    QTest::newRow("one-digit month and day are read")
        << "2000/5/9" << at(2000, 5, 9) << "20000509=" << "20000509" << "2000/05/09 終了|完了" << "2000/05/10" << "";
    QTest::newRow("record without its date tag ends the page, the day counts")
        << "2000/05/20" << noon << "20000520=B7 cut8 cut9" << "20000520" << "000007 終了|2000/05/20 終了|完了"
        << "2000/05/21" << "7:1:20000520";
    QTest::newRow("data number beyond 16 bits is skipped")
        << "2000/05/20" << noon << "20000520=B40000 G8" << "20000520"
        << "40000 データ番号が範囲外のため飛ばしました。|000008 終了|2000/05/20 終了|完了" << "2000/05/21"
        << "8:2:20000520";
}

void TestFormUpdate::runs()
{
    QFETCH(QString, stored);
    QFETCH(QDateTime, now);
    QFETCH(QString, pages);
    QFETCH(QString, requests);
    QFETCH(QString, log);
    QFETCH(QString, storedAfter);
    QFETCH(QString, files);
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));

    const QHash<QString, QByteArray> served = ::pages(pages);
    for (auto it = served.begin(); it != served.end(); ++it)
        m_web.writeFile(it.key(), it.value());
    Clock::instance().setTestTime(now);
    setStored(stored);
    const qsizetype before = m_web.requests().size();

    Window window(m_web.url());
    QVERIFY(window.run());
    QCOMPARE(window.log(), lines(log));
    const QString first = stored.contains(QLatin1Char('/')) ? StatusPage::dateText(StatusPage::readDate(stored))
                                                            : QStringLiteral("2000/05/20");
    QCOMPARE(window.caption(), first + QStringLiteral(" ->") + storedAfter);
    QCOMPARE(m_env->setting(QStringLiteral("Date"), QStringLiteral("Update")), storedAfter);
    QCOMPARE(iudFiles(*m_env), expectedFiles(files));
    QVERIFY(window.form->cmd_OK->isEnabled());
    QStringList paths;
    for (const QString &day : requests.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        paths.append(QLatin1Char('/') + day + QStringLiteral(".html"));
    QTRY_COMPARE(m_web.requests().mid(before), paths);
}

void TestFormUpdate::runPassingMidnight()
{
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));
    m_web.writeFile(QStringLiteral("20000520.html"), pageOf(QString()));
    m_web.writeFile(QStringLiteral("20000521.html"), pageOf(QStringLiteral("B3"), QStringLiteral("20000521")));
    Clock::instance().setTestTime(QDateTime(QDate(2000, 5, 20), QTime(23, 59, 59)));
    setStored(QStringLiteral("2000/05/20"));

    Window window(m_web.url());
    // The clock passes midnight while the first day's line is logged.
    bool passed = false;
    connect(window.form->txt_Condition, &QPlainTextEdit::textChanged, this, [&] {
        if (!passed && window.log().contains(QStringLiteral("2000/05/20 終了"))) {
            passed = true;
            Clock::instance().advance(1);
        }
    });
    QVERIFY(window.run());
    QCOMPARE(window.log(), QStringLiteral("2000/05/20 終了\n000003 終了\n2000/05/21 終了\n完了\n"));
    QCOMPARE(window.caption(), QStringLiteral("2000/05/20 ->2000/05/22"));
    QCOMPARE(m_env->setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/22"));
}

void TestFormUpdate::faults_data()
{
    QTest::addColumn<QByteArray>("raw"); // empty: the connection is reset
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("files");

    const QString missing = QStringLiteral("2000/05/20 存在しません。|完了");
    QTest::newRow("404") << httpResponse("404 Not Found", pageOf(QStringLiteral("B7"))) << missing << "";
    QTest::newRow("500") << httpResponse("500 Internal Server Error", QByteArray()) << missing << "";
    QTest::newRow("reset connection") << QByteArray() << missing << "";
    QTest::newRow("200 cut short in its body")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9000\r\n\r\n") + pageOf(QStringLiteral("B7")) << missing << "";
    QTest::newRow("20 MiB body") << httpResponse("200 OK", QByteArray(20 * 1024 * 1024, ' ') + pageOf(QStringLiteral("B7")))
                                 << missing << "";
    QTest::newRow("empty 200") << httpResponse("200 OK", QByteArray()) << "2000/05/20 終了|完了" << "";
    QTest::newRow("redirect to the page")
        << QByteArray("HTTP/1.1 302 Found\r\nLocation: /moved/20000520.html\r\nContent-Length: 0\r\n\r\n")
        << "000007 終了|2000/05/20 終了|完了" << "7:1:20000520";
    QTest::newRow("redirect to a missing page")
        << QByteArray("HTTP/1.1 301 Moved Permanently\r\nLocation: /gone.html\r\nContent-Length: 0\r\n\r\n")
        << missing << "";

    // Records in a body of several 1024-character chunks, across their joins.
    QString tokens, log, files;
    for (int n = 1; n <= 40; ++n) {
        tokens += QStringLiteral(" K%1").arg(n);
        log += QStringLiteral("%1 終了|").arg(n, 6, 10, QLatin1Char('0'));
        files += QStringLiteral(" %1:4:20000520").arg(n);
    }
    QVERIFY(pageOf(tokens).size() > 3 * 1024);
    QTest::newRow("body of several chunks") << httpResponse("200 OK", pageOf(tokens))
                                            << log + QStringLiteral("2000/05/20 終了|完了") << files;
}

void TestFormUpdate::faults()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, log);
    QFETCH(QString, files);

    FaultServer server;
    server.on(QStringLiteral("/20000520.html"), raw.isEmpty() ? FaultServer::reset() : FaultServer::reply(raw));
    server.on(QStringLiteral("/moved/20000520.html"), FaultServer::reply(httpResponse("200 OK", pageOf(QStringLiteral("B7")))));
    setStored(QStringLiteral("2000/05/20"));
    Window window(server.url());
    QVERIFY(window.run());
    QCOMPARE(window.log(), lines(log));
    QCOMPARE(iudFiles(*m_env), expectedFiles(files));
}

void TestFormUpdate::timeOut_data()
{
    QTest::addColumn<QTime>("start");

    QTest::newRow("at noon") << QTime(12, 0, 0);
    QTest::newRow("across midnight") << QTime(23, 58, 0);
}

void TestFormUpdate::timeOut()
{
    QFETCH(QTime, start);

    FaultServer server;
    server.on(QStringLiteral("/20000520.html"), FaultServer::stall());
    Clock::instance().setTestTime(QDateTime(QDate(2000, 5, 20), start));
    setStored(QStringLiteral("2000/05/20"));
    Window window(server.url());
    window.form->ResponseText = QStringLiteral("left from before");

    int flagAfter299 = -1;
    int openAfter299 = -1;
    int flagAfter300 = -1;
    connect(&server, &FaultServer::requestSeen, this, [&] {
        Clock::instance().advance(299);
        flagAfter299 = window.form->WaitFlag;
        openAfter299 = server.openConnections();
        Clock::instance().advance(1);
        flagAfter300 = window.form->WaitFlag;
    });
    QVERIFY(window.run());
    QCOMPARE(flagAfter299, 1);
    QCOMPARE(openAfter299, 1);
    QCOMPARE(flagAfter300, 0);
    QCOMPARE(window.form->ResponseText, QString());
    QCOMPARE(window.log(), QStringLiteral("2000/05/20 存在しません。\n完了\n"));
    QCOMPARE(m_env->setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/19"));
    QTRY_COMPARE(server.openConnections(), 0); // cancelled
}

void TestFormUpdate::proxies_data()
{
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<QString>("log");

    const QString found = QStringLiteral("000007 終了\n2000/05/20 終了\n完了\n");
    const QString missing = QStringLiteral("2000/05/20 存在しません。\n完了\n");
    QTest::newRow("through tinyproxy") << QStringLiteral("127.0.0.1:PROXY") << found;
    QTest::newRow("through tinyproxy, with scheme") << QStringLiteral("http://127.0.0.1:PROXY") << found;
    QTest::newRow("through tinyproxy, loosely written") << QStringLiteral(" HTTP://localhost:PROXY/ ") << found;
    QTest::newRow("dead proxy") << QStringLiteral("127.0.0.1:DEAD") << missing;
}

void TestFormUpdate::proxies()
{
    QFETCH(QString, proxy);
    QFETCH(QString, log);
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));
    ForwardProxy forward;
    if (proxy.contains(QLatin1String("PROXY"))) {
        const QString why = forward.start();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
    }
    proxy.replace(QStringLiteral("PROXY"), QString::number(forward.port()));
    proxy.replace(QStringLiteral("DEAD"), QString::number(deadPort()));
    m_web.writeFile(QStringLiteral("20000520.html"), pageOf(QStringLiteral("B7")));
    setStored(QStringLiteral("2000/05/20"));
    const qsizetype before = m_web.requests().size();

    Window window(m_web.url(), proxy);
    QVERIFY(window.run());
    QCOMPARE(window.log(), log);
    if (proxy.contains(QString::number(forward.port())) && forward.port() != 0) {
        const QString line = QStringLiteral("GET ") + m_web.url() + QStringLiteral("20000520.html HTTP/1.1");
        QVERIFY2(forward.log().contains(line), qPrintable(forward.log()));
        QTRY_COMPARE(m_web.requests().mid(before), QStringList{QStringLiteral("/20000520.html")});
    } else {
        QCOMPARE(m_web.requests().mid(before), QStringList()); // nothing went direct
    }
}

void TestFormUpdate::unwritableFiles_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("log"); // a pattern: NN stands for the failure number

    const QString head = QStringLiteral("2000/05/19 終了\n");
    QTest::newRow("no data directory")
        << QStringLiteral("no data") << head + QStringLiteral("DATA/000007.iud を保存できませんでした。エラー番号：NN\n完了\n");
    QTest::newRow("read-only data directory")
        << QStringLiteral("read-only") << head + QStringLiteral("DATA/000007.iud を保存できませんでした。エラー番号：NN\n完了\n");
    QTest::newRow("second file cannot be replaced")
        << QStringLiteral("directory")
        << head + QStringLiteral("000007 終了\nDATA/000012.iud を保存できませんでした。エラー番号：NN\n完了\n");
}

void TestFormUpdate::unwritableFiles()
{
    QFETCH(QString, fault);
    QFETCH(QString, log);
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));

    m_web.writeFile(QStringLiteral("20000519.html"), pageOf(QString(), QStringLiteral("20000519")));
    m_web.writeFile(QStringLiteral("20000520.html"),
                    pageOf(QStringLiteral("B7 B12")));
    setStored(QStringLiteral("2000/05/19"));
    if (fault == QLatin1String("no data"))
        QDir(m_env->path(QStringLiteral("data"))).removeRecursively();
    if (fault == QLatin1String("directory"))
        m_env->makeDir(QStringLiteral("data/000012.iud"));

    Window window(m_web.url());
    // Read-only for root means another identity, which cannot reach the
    // settings: so only from the first day's end to the failure.
    std::unique_ptr<ReadOnlyDir> readOnly;
    if (fault == QLatin1String("read-only")) {
        connect(window.form->txt_Condition, &QPlainTextEdit::textChanged, this, [&] {
            if (window.log().contains(QStringLiteral("保存できませんでした")))
                readOnly.reset();
            else if (!readOnly && window.log().contains(QStringLiteral("2000/05/19 終了")))
                readOnly = std::make_unique<ReadOnlyDir>(m_env->path(QStringLiteral("data")));
        });
    }
    QVERIFY(window.run());
    QVERIFY(!readOnly);
    QString pattern = QRegularExpression::escape(log);
    pattern.replace(QStringLiteral("DATA"), QRegularExpression::escape(QDir::toNativeSeparators(m_env->path(QStringLiteral("data")))));
    pattern.replace(QStringLiteral("NN"), QStringLiteral("[0-9]+"));
    QVERIFY2(QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$')).match(window.log()).hasMatch(),
             qPrintable(window.log()));
    // The failed day is fetched again next time; the end steps ran as usual.
    QCOMPARE(m_env->setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/20"));
    QCOMPARE(window.caption(), QStringLiteral("2000/05/19 ->2000/05/20"));
    QVERIFY(window.form->cmd_OK->isEnabled());
    if (fault == QLatin1String("directory"))
        QCOMPARE(iudFiles(*m_env), expectedFiles(QStringLiteral("7:1:20000520")));
    else
        QCOMPARE(iudFiles(*m_env), QStringList());
}

void TestFormUpdate::stateChanged_data()
{
    QTest::addColumn<QByteArray>("answer"); // empty: no request before the event
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("responseText");
    QTest::addColumn<int>("waitFlag");

    QTest::newRow("completed over HTTP replaces the body")
        << httpResponse("200 OK", "new body") << 12 << QStringLiteral("new body") << 0;
    QTest::newRow("completed with an empty body empties it")
        << httpResponse("404 Not Found", QByteArray()) << 12 << QString() << 0;
    QTest::newRow("completed without HTTP keeps the body") << QByteArray() << 12 << QStringLiteral("previous") << 0;
    QTest::newRow("error empties the body") << QByteArray() << 11 << QString() << 0;
    QTest::newRow("other states change nothing") << QByteArray() << 8 << QStringLiteral("previous") << 1;
}

void TestFormUpdate::stateChanged()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, state);
    QFETCH(QString, responseText);
    QFETCH(int, waitFlag);

    FaultServer server;
    server.on(QStringLiteral("/p.html"), FaultServer::reply(answer));
    Window window(server.url());
    Form_Update *form = window.form;
    if (!answer.isEmpty()) {
        // The handler runs inside the wait and reads the whole body there.
        QSignalSpy states(form->Inet1, &Inet::StateChanged);
        form->ResponseText = QStringLiteral("previous");
        form->requestPage(server.url() + QStringLiteral("p.html"));
        QCOMPARE(states.count(), 1);
        QCOMPARE(states.at(0).at(0).toInt(), state);
    } else {
        form->ResponseText = QStringLiteral("previous");
        form->WaitFlag = 1;
        form->Inet1_StateChanged(qint16(state));
    }
    QCOMPARE(form->ResponseText, responseText);
    QCOMPARE(int(form->WaitFlag), waitFlag);
}

void TestFormUpdate::frameCloseDuringAndAfterRun()
{
    FaultServer server;
    server.on(QStringLiteral("/20000520.html"), FaultServer::stall());
    setStored(QStringLiteral("2000/05/20"));
    Window window(server.url());
    bool visibleAfterClose = false;
    connect(&server, &FaultServer::requestSeen, this, [&] {
        window.form->close();
        visibleAfterClose = window.form->isVisible() && !window.menu.isVisible();
        Clock::instance().advance(300);
    });
    QVERIFY(window.run());
    QVERIFY(visibleAfterClose);
    QCOMPARE(window.log(), QStringLiteral("2000/05/20 存在しません。\n完了\n"));

    // Afterwards the frame's close is "確認".
    window.form->close();
    QVERIFY(window.menu.isVisible());
    QVERIFY(!window.form->isVisible());
    QTRY_VERIFY(window.form.isNull());
}

void TestFormUpdate::menuMakesAFreshWindowEachTime()
{
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));
    m_web.writeFile(QStringLiteral("20000520.html"), pageOf(QStringLiteral("G7")));
    UrlFile::write(AppDir(), m_web.url(), QString());
    setStored(QStringLiteral("2000/05/20"));
    const qsizetype before = m_web.requests().size();

    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QVERIFY(menu.cmd_Update->isEnabled());
    QPointer<TaskWindow> first = menu.taskWindow(Form_Menu::Task::Update);
    QSignalSpy firstDone(first.data(), &TaskWindow::activationDone);
    QTest::mouseClick(menu.cmd_Update, Qt::LeftButton);
    QVERIFY(firstDone.wait(60000));
    auto *form = qobject_cast<Form_Update *>(first.data());
    QVERIFY(form);
    QCOMPARE(form->txt_Condition->toPlainText(), QStringLiteral("000007 終了\n2000/05/20 終了\n完了\n"));
    QVERIFY(!menu.isVisible());

    QTest::mouseClick(form->cmd_OK, Qt::LeftButton);
    QVERIFY(menu.isVisible());
    QTRY_VERIFY(first.isNull());

    // A second run on the same day makes no request, in a new window with a new log.
    QPointer<TaskWindow> second = menu.taskWindow(Form_Menu::Task::Update);
    QSignalSpy secondDone(second.data(), &TaskWindow::activationDone);
    QTest::mouseClick(menu.cmd_Update, Qt::LeftButton);
    QVERIFY(secondDone.wait(60000));
    form = qobject_cast<Form_Update *>(second.data());
    QCOMPARE(form->txt_Condition->toPlainText(), QStringLiteral("完了\n"));
    QCOMPARE(form->lab_Update->text(), QStringLiteral("2000/05/21 ->2000/05/21"));
    QTRY_COMPARE(m_web.requests().mid(before), QStringList{QStringLiteral("/20000520.html")});
    QTest::mouseClick(form->cmd_OK, Qt::LeftButton);
    QTRY_VERIFY(second.isNull());
}

QTEST_MAIN(TestFormUpdate)
#include "tst_form_update.moc"
