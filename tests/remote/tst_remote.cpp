#include "gui/menu/form_menu.h"
#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"
#include "gui/remote/form_update.h"
#include "remote/pagerequest.h"
#include "remote/urlfile.h"
#include "servers.h"
#include "testenv.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>

namespace {

// A status page from tokens between blanks: a colour letter (B 0000FF, G 00FF00, R FF0000, K 000000,
// b 0000ff, r ff0000, X C0C0C0) and the data number; "stray7" has "(" and "(1" in the site's name, "cut8"
// no date tag, "nonum" no data number, "crlf7" a line end in its date-time.
QByteArray page(const QString &tokens, const QString &day)
{
    const QString colours = "B0000FF G00FF00 RFF0000 K000000 b0000ff rff0000 XC0C0C0";
    const QString when = "</FONT> 更新日時 <FONT Size=2>" + day + " 21:04:33</FONT><BR>\r\n";
    QString text = "<HTML><HEAD><TITLE>更新状況</TITLE></HEAD><BODY>\r\n";
    for (const QString &token : tokens.split(' ', Qt::SkipEmptyParts)) {
        if (token.startsWith("stray"))
            text += "<FONT COLOR='#FF0000'>音楽(1)(ジャズ)館 (" + token.mid(5) + ')' + when;
        else if (token == "nonum")
            text += "<FONT COLOR='#0000FF'>音楽(ジャズ)館" + when;
        else if (token.startsWith("crlf"))
            text += "<FONT COLOR='#0000FF'>ジャズ館 (" + token.mid(4) + ')' + QString(when).replace("/05/", "/05\r\n");
        else if (token.startsWith("cut"))
            text += "<FONT COLOR='#00FF00'>壊れた記録 (" + token.mid(3) + ")</FONT><BR>\r\n";
        else
            text += "<FONT COLOR='#" + colours.mid(colours.indexOf(token[0]) + 1, 6) + "'>ジャズ館 (" + token.mid(1)
                + ')' + when;
    }
    return sjis(text + "</BODY></HTML>\r\n");
}

// What a download's log stands for. Its lines between "|": "7:1" is a record of site 7 with method code 1
// on the next day's page, logged as "000007 終了" and kept in its update-state file; "2000/05/20" is that
// day's " 終了", "2000/05/20?why" its " 存在しません。" and "（why）"; other lines stand as written. Records after the
// last day are on the page of the day stored at the end, where the run stopped.
struct Expected
{
    Expected(const QString &notation, const QString &after)
    {
        QStringList records;
        auto settle = [&](const QString &day) {
            pages[day];
            for (const QString &record : std::exchange(records, {})) {
                const QString number = record.section(':', 0, 0), code = record.section(':', 1);
                files[QString("%1.iud").arg(number.toInt(), 6, 10, QChar('0'))] = '#' + day + " 21:04:33#\r\n#" + day
                    + "#\r\n " + code + " \r\n";
                pages[day] += ' ' + QString("_BGRK").at(code.toInt()) + number;
            }
        };
        for (const QString &line : notation.split('|', Qt::SkipEmptyParts)) {
            if (QRegularExpression("^[0-9]+:[0-9]$").match(line).hasMatch()) {
                records.append(line);
                log += QString("%1 終了\n").arg(line.section(':', 0, 0).toInt(), 6, 10, QChar('0'));
            } else if (QRegularExpression("^[0-9/]{10}([?].*)?$").match(line).hasMatch()) {
                days.append(line.left(10));
                const bool missing = line.contains('?');
                log += days.last() + (missing ? " 存在しません。\n（" + line.mid(11) + "）\n" : " 終了\n");
                if (!missing)
                    settle(days.last());
            } else {
                log += line + '\n';
            }
        }
        settle(after);
        log += "完了\n";
    }

    QString log;
    QStringList days; // each asked for, in order
    QMap<QString, QString> files; // "000007.iud" -> contents
    QMap<QString, QString> pages; // "2000/05/20" -> page tokens
};

void row(const char *name, const QString &stored, const QString &log, const QString &after, const QString &pages = "",
         const QByteArray &fault = {}, const QString &now = "")
{
    QTest::newRow(name) << stored << log << after << pages << fault << now;
}

} // namespace

class TestRemote : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decode();
    void download_data();
    void download();

private:
    WebServer m_web;
};

void TestRemote::initTestCase()
{
    const QString why = m_web.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QLocale::setDefault(QLocale(QLocale::German)); // dates as text must not follow it
}

// The body's text: the charset named in Content-Type, else in a META, else windows-31j; Shift_JIS is that too
// (～ is U+FF5E).
void TestRemote::decode()
{
    const QString text = "更新～①", meta = "<meta charset=\"utf-8\">" + text;
    QCOMPARE(Inet::decodeBody(sjis(text), "text/html"), text);
    QCOMPARE(Inet::decodeBody(text.toUtf8(), "text/html; charset=UTF-8"), text);
    QCOMPARE(Inet::decodeBody(meta.toUtf8(), "text/html"), meta);
    QCOMPARE(Inet::decodeBody(sjis(text), "text/html; charset=Shift_JIS"), text);
}

// The download through the menu's window, against the web server unless something else goes wrong.
// Table rows are laid out by hand.
// clang-format off
void TestRemote::download_data()
{
    QTest::addColumn<QString>("stored"); // empty: none
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("after"); // the day stored at the end
    QTest::addColumn<QString>("pages"); // "yyyy/mm/dd=page tokens; ...": other pages than the log's
    // What goes wrong: a FaultServer's answer for 20000520.html ("reset", "stall" or the bytes), the data URL
    // ("url <text>", FAULT/ the FaultServer's), the proxy ("proxy <text>", PROXY tinyproxy's port) or a file setup.
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<QString>("now"); // empty: 2000/05/20 12:00:00

    row("stored date is today", "2000/05/20", "7:1|12:4|2000/05/20", "2000/05/21");
    row("three days back: four requests in date order", "2000/05/17",
        "1:1|2000/05/17|2:2|2000/05/18|3:3|1:4|2000/05/19|2000/05/20", "2000/05/21");
    row("first page missing", "2000/05/20", "2000/05/20?HTTP 404 File not found", "2000/05/19");
    row("missing page after found ones", "2000/05/18",
        "2000/05/18|2000/05/19|2000/05/20|2000/05/21?HTTP 404 File not found", "2000/05/20",
        "2000/05/22=", {}, "2000/05/25 12:00:00");
    row("lower-case colours take the previous code, 0 at first", "2000/05/19", "1:0|2:2|2000/05/19|3:2|4:2|2000/05/20",
        "2000/05/21", "2000/05/19=r1 G2; 2000/05/20=b3 X4");
    row("malformed records write no file and are logged, the others are read", "2000/05/20",
        "7:1|最終更新日時のない記録を飛ばしました。|データ番号のない記録を飛ばしました。|"
        "000005 最終更新日時が読めないため飛ばしました。|9:2|6:3|2000/05/20",
        "2000/05/21", "2000/05/20=B7 cut8 nonum crlf5 G9 stray6");
    row("no stored date: from today", "", "2000/05/20", "2000/05/21");
    row("year 1 is no date: from today", "0001/01/01", "2000/05/20", "2000/05/21");
    row("one-digit month and day", "2000/5/8", "2000/05/08|2000/05/09", "2000/05/10", "", {}, "2000/05/09 12:00:00");
    // A file that cannot be written ends the run; its day is fetched again next time.
    row("000012.iud is a link", "2000/05/19", "2000/05/19|7:1|DATA/000012.iud を保存できませんでした。エラー番号：NN",
        "2000/05/20", "2000/05/20=B7 B12", "000012.iud is a link");
    // Each replaced file is rewritten as a later temporary, unless it has another name.
    row("replaced files reused, not one linked elsewhere", "2000/05/19",
        "12:1|7:2|2000/05/19|7:1|2000/05/20|3:3|2000/05/21", "2000/05/22", "", "000012.iud is a hard link",
        "2000/05/21 12:00:00");
    row("leftovers of killed replaces are removed", "2000/05/20", "2000/05/20", "2000/05/21", "", "leftovers");
    row("settings that cannot be written", "", "2000/05/20|2000/05/21 を次の開始日として保存できませんでした。（SETTINGS）",
        "2000/05/21", "", "settings unwritable");
    row("through tinyproxy", "2000/05/20", "7:1|2000/05/20", "2000/05/21", "", "proxy  HTTP://localhost:PROXY/ ");

    auto fails = [](const char *name, const QByteArray &fault, const QString &why) {
        row(name, "2000/05/20", "2000/05/20?" + why, "2000/05/19", "2000/05/20=B7", fault);
    };
    const QString proxy = "プロキシを使えません", url = "URLが正しくありません";
    fails("proxy without port", "proxy 127.0.0.1", proxy);
    fails("empty data URL", "url ", url);
    fails("500", httpResponse("500 Internal Server Error", ""), "HTTP 500 Internal Server Error");
    fails("reset connection", "reset", "RESET");
    fails("stall", "stall", "タイムアウト");
    fails("20 MiB body", httpResponse("200 OK", QByteArray(20 << 20, ' ') + page("B7", "2000/05/20")),
          "ページが大きすぎます");
    fails("20 MiB body to the close", "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(20 << 20, ' '), "ページが大きすぎます");
    fails("redirect loop", "HTTP/1.1 302 Found\r\nLocation: /20000520.html\r\n\r\n", "転送が多すぎます");
    // The text around a record is broken, or the page comes in chunks: the record still reads.
    const QByteArray body = page("B7", "2000/05/20"), chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const QByteArray chunk = QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n";
    row("invalid Shift-JIS bytes, unknown charset", "2000/05/20", "7:1|2000/05/20", "2000/05/21", "",
        httpResponse("200 OK", "\x81\xff\xfc\x80\xa0\xe0\xef\xfd\xfe\x82\r\n" + body + "\x82", "text/html; charset=x-no"));
    row("chunked page", "2000/05/20", "7:1|2000/05/20", "2000/05/21", "", chunked + chunk + "0\r\n\r\n");
    fails("closed after a chunk", chunked + chunk, "RESET");
    fails("cut short", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + body, "RESET");
    QString tokens, log; // records across the joins of 1024-character pieces, beyond a 16-bit position
    for (int n = 1; n <= 400; ++n)
        tokens += QString(" K%1").arg(n), log += QString("%1:4|").arg(n);
    row("body of more than 32,767 characters", "2000/05/20", log + "2000/05/20", "2000/05/21", "",
        httpResponse("200 OK", page(tokens, "2000/05/20")));
}
// clang-format on

void TestRemote::download()
{
    QFETCH(QString, stored);
    QFETCH(QString, log);
    QFETCH(QString, after);
    QFETCH(QString, pages);
    QFETCH(QByteArray, fault);
    QFETCH(QString, now);
    TestEnv env; // the clock at 2000/05/20 12:00:00; a message box fails the test
    env.makeDir("data");
    m_web.clear();
    if (!now.isEmpty())
        Clock::instance().setTestTime(QDateTime::fromString(now, "yyyy/MM/dd hh:mm:ss"));
    if (!stored.isEmpty())
        SettingsStore::save("Date", "Update", stored);
    const Expected expected(log, after);
    QMap<QString, QString> served = expected.pages;
    for (const QString &entry : pages.split(';', Qt::SkipEmptyParts))
        served[entry.section('=', 0, 0).trimmed()] = entry.section('=', 1).trimmed();
    for (auto it = served.cbegin(); it != served.cend(); ++it)
        m_web.writeFile(QString(it.key()).remove('/') + ".html", page(it.value(), it.key()));
    FaultServer server;
    server.on("/20000520.html",
              fault == "reset"       ? FaultServer::reset()
                  : fault == "stall" ? FaultServer::stall()
                                     : FaultServer::reply(fault));
    if (fault.startsWith("000012.iud is a")) {
        env.writeText("victim", "old");
        if (fault.endsWith("hard link"))
            std::filesystem::create_hard_link(env.path("victim").toStdString(),
                                              env.path("data/000012.iud").toStdString());
        else
            QVERIFY(QFile::link(env.path("victim"), env.path("data/000012.iud")));
    }
    const QStringList leftovers{"000007.iud.Ab12Cd", "000007.iud.Ab12Cd.x", "000007.iud.old"};
    for (const QString &name : fault == "leftovers" ? leftovers : QStringList())
        env.writeText("data/" + name, "x");
    if (fault == "settings unwritable")
        QVERIFY(QDir().mkpath(SettingsStore::location()));
    ForwardProxy forward;
    QString proxy = fault.startsWith("proxy ") ? fault.mid(6) : QString();
    const QString why = proxy.contains("PROXY") ? forward.start() : QString();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    proxy.replace("PROXY", QString::number(forward.port()));
    const bool faulty = fault == "reset" || fault == "stall" || fault.startsWith("HTTP/");
    const QString url = fault.startsWith("url ") ? QString(fault.mid(4)).replace("FAULT/", server.url())
        : faulty                                 ? server.url()
                                                 : m_web.url();
    UrlFile::write(AppDir(), url, proxy);

    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QPointer<Form_Update> form = qobject_cast<Form_Update *>(menu.taskWindow(Form_Menu::Task::Update));
    if (fault == "stall")
        connect(&server, &FaultServer::requestSeen, this, [&] {
            Clock::instance().advance(299);
            QVERIFY(form->request().WaitFlag == 1 && server.openConnections() == 1); // not given up yet
            Clock::instance().advance(1);
        });
    QSignalSpy done(form.data(), &TaskWindow::activationDone);
    QTest::mouseClick(menu.cmd_Update, Qt::LeftButton);
    QVERIFY(done.wait(120000));

    QCOMPARE(form->txt_Condition->toPlainText()
                 .replace(QDir::toNativeSeparators(env.path("data")), "DATA")
                 .replace(QDir::toNativeSeparators(SettingsStore::location()), "SETTINGS")
                 .replace(QRegularExpression("エラー番号：[0-9]+"), "エラー番号：NN")
                 // a transfer cut short is reported by Qt or by us
                 .replace(QRegularExpression("（(通信エラー：.*|ページが途中で切れました)）"), "（RESET）"),
             fault == "settings unwritable" ? QString(expected.log).remove("完了\n") : expected.log);
    if (fault == "000012.iud is a link")
        QVERIFY(QFile::remove(env.path("data/000012.iud")));
    if (fault.startsWith("000012.iud is a"))
        QCOMPARE(env.readText("victim"), "old");
    if (fault == "leftovers")
        QCOMPARE(QDir(env.path("data")).entryList(QDir::Files), leftovers.mid(1));
    QCOMPARE(form->lab_Update->text(), expected.days.value(0, stored) + " ->" + after);
    QCOMPARE(env.setting("Date", "Update"), fault == "settings unwritable" ? QString() : after);
    QMap<QString, QString> files;
    for (const QString &name : QDir(env.path("data")).entryList({"*.iud"}, QDir::Files))
        files[name] = env.readText("data/" + name);
    QCOMPARE(files, expected.files);
    QTRY_COMPARE(server.openConnections(), 0); // nothing left hanging
    if (forward.port())
        QVERIFY2(forward.log().contains("GET " + m_web.url() + "20000520.html HTTP/1.1"), qPrintable(forward.log()));
}

QTEST_MAIN(TestRemote)
#include "tst_remote.moc"
