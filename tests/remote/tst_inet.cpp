#include "platform/inet.h"
#include "servers.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QStringDecoder>
#include <QTest>

namespace {

struct Outcome
{
    QList<int> states;
    QString header;
    QStringList chunks;
};

// Runs one request to its first StateChanged and takes the body apart.
Outcome fetch(Inet &inet, const QString &url)
{
    Outcome outcome;
    QSignalSpy spy(&inet, &Inet::StateChanged);
    inet.Execute(url, QStringLiteral("GET"));
    if (!spy.wait(60000))
        return outcome;
    for (const QList<QVariant> &args : spy)
        outcome.states.append(args.at(0).toInt());
    outcome.header = inet.GetHeader(QString());
    for (;;) {
        const QString chunk = inet.GetChunk(1024, 0);
        if (chunk.isEmpty())
            break;
        outcome.chunks.append(chunk);
    }
    return outcome;
}

QList<int> chunkSizes(const QStringList &chunks)
{
    QList<int> sizes;
    for (const QString &chunk : chunks)
        sizes.append(int(chunk.size()));
    return sizes;
}

// 3000 characters, with a character that only the Windows code page has.
QString longJapanese()
{
    QString text = QStringLiteral("<HTML>①");
    while (text.size() < 3000)
        text += QStringLiteral("更新状況 abc ");
    return text.left(3000);
}

} // namespace

class TestInet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void responses_data();
    void responses();
    void redirects_data();
    void redirects();
    void refusedAtOnce_data();
    void refusedAtOnce();
    void protocol_data();
    void protocol();
    void unusableProxy_data();
    void unusableProxy();
    void cancelledRequestReportsNothing_data();
    void cancelledRequestReportsNothing();

private:
    TestEnv m_env;
};

void TestInet::initTestCase()
{
    QVERIFY(QStringDecoder("windows-31j").isValid());
}

void TestInet::responses_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("statusLine");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QList<int>>("sizes");

    const QString japanese = longJapanese();
    QTest::newRow("Shift-JIS body of three chunks")
        << httpResponse("200 OK", sjis(japanese)) << 12 << QStringLiteral("HTTP/1.1 200 OK") << japanese
        << QList<int>{1024, 1024, 952};
    QTest::newRow("empty 200") << httpResponse("200 OK", QByteArray()) << 12 << QStringLiteral("HTTP/1.1 200 OK")
                               << QString() << QList<int>{};
    QTest::newRow("404 is a completed response")
        << httpResponse("404 Not Found", "missing") << 12 << QStringLiteral("HTTP/1.1 404 Not Found")
        << QStringLiteral("missing") << QList<int>{7};
    QTest::newRow("500 is a completed response")
        << httpResponse("500 Internal Server Error", QByteArray()) << 12
        << QStringLiteral("HTTP/1.1 500 Internal Server Error") << QString() << QList<int>{};
    QTest::newRow("HTTP/1.0 answer, body to the close")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n") + sjis(QStringLiteral("本日"))
        << 12 << QStringLiteral("HTTP/1.1 200 OK") << QStringLiteral("本日") << QList<int>{2};
    QTest::newRow("charset in Content-Type")
        << httpResponse("200 OK", QStringLiteral("更新①").toUtf8(), "text/html; charset=UTF-8") << 12
        << QStringLiteral("HTTP/1.1 200 OK") << QStringLiteral("更新①") << QList<int>{3};
    const QByteArray metaUtf8 = QByteArray("<meta charset=\"utf-8\">") + QStringLiteral("更新").toUtf8();
    QTest::newRow("charset in a meta tag")
        << httpResponse("200 OK", metaUtf8) << 12 << QStringLiteral("HTTP/1.1 200 OK")
        << QStringLiteral("<meta charset=\"utf-8\">更新") << QList<int>{24};
    const QByteArray metaSjis = "<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
        + sjis(QStringLiteral("①"));
    QTest::newRow("Shift_JIS means the Windows code page")
        << httpResponse("200 OK", metaSjis) << 12 << QStringLiteral("HTTP/1.1 200 OK")
        << QStringLiteral("<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">①")
        << QList<int>{72};
    const QByteArray deflated = qCompress(QByteArray("abc")).mid(4); // a zlib stream, longer than "abc"
    QTest::newRow("compressed body shorter once inflated")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Length: ")
            + QByteArray::number(deflated.size()) + "\r\n\r\n" + deflated
        << 12 << QStringLiteral("HTTP/1.1 200 OK") << QStringLiteral("abc") << QList<int>{3};
    QTest::newRow("cut short in the body")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n") + QByteArray(100, 'x') << 11 << QString()
        << QString() << QList<int>{};
    QTest::newRow("closed without an answer") << QByteArray() << 11 << QString() << QString() << QList<int>{};
    QTest::newRow("garbage instead of a status line")
        << QByteArray("hello there\r\n\r\n") << 11 << QString() << QString() << QList<int>{};
    const QByteArray big(20 * 1024 * 1024, 'x');
    QTest::newRow("20 MiB with its length") << httpResponse("200 OK", big) << 11 << QString() << QString()
                                            << QList<int>{};
    QTest::newRow("20 MiB to the close")
        << QByteArray("HTTP/1.0 200 OK\r\n\r\n") + big << 11 << QString() << QString() << QList<int>{};
}

void TestInet::responses()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, state);
    QFETCH(QString, statusLine);
    QFETCH(QString, body);
    QFETCH(QList<int>, sizes);

    FaultServer server;
    server.on(QStringLiteral("/page.html"), FaultServer::reply(raw));
    Inet inet;
    const Outcome outcome = fetch(inet, server.url() + QStringLiteral("page.html"));
    QCOMPARE(outcome.states, QList<int>{state});
    QCOMPARE(outcome.header.section(QStringLiteral("\r\n"), 0, 0), statusLine);
    if (state == 12)
        QVERIFY(outcome.header.endsWith(QStringLiteral("\r\n")));
    else
        QCOMPARE(outcome.header, QString());
    QCOMPARE(outcome.chunks.join(QString()), body);
    QCOMPARE(chunkSizes(outcome.chunks), sizes);
}

void TestInet::redirects_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QString>("location"); // PORT stands for the server's port
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("requests");

    QTest::newRow("302 relative") << QByteArray("302 Found") << QStringLiteral("final.html") << 12 << 2;
    QTest::newRow("301 absolute path") << QByteArray("301 Moved Permanently") << QStringLiteral("/final.html") << 12 << 2;
    QTest::newRow("303 whole URL") << QByteArray("303 See Other") << QStringLiteral("http://127.0.0.1:PORT/final.html")
                                   << 12 << 2;
    QTest::newRow("307") << QByteArray("307 Temporary Redirect") << QStringLiteral("final.html") << 12 << 2;
    QTest::newRow("308") << QByteArray("308 Permanent Redirect") << QStringLiteral("final.html") << 12 << 2;
    QTest::newRow("to itself for ever") << QByteArray("302 Found") << QStringLiteral("/start.html") << 11 << 21;
    QTest::newRow("to another scheme") << QByteArray("302 Found") << QStringLiteral("ftp://127.0.0.1/final.html") << 11
                                       << 1;
}

void TestInet::redirects()
{
    QFETCH(QByteArray, status);
    QFETCH(QString, location);
    QFETCH(int, state);
    QFETCH(int, requests);

    FaultServer server;
    location.replace(QStringLiteral("PORT"), QString::number(server.serverPort()));
    server.on(QStringLiteral("/start.html"),
              FaultServer::reply("HTTP/1.1 " + status + "\r\nLocation: " + location.toLatin1()
                                 + "\r\nX-Hop: first\r\nContent-Length: 5\r\n\r\nmoved"));
    server.on(QStringLiteral("/final.html"), FaultServer::reply(httpResponse("200 OK", "arrived")));
    Inet inet;
    const Outcome outcome = fetch(inet, server.url() + QStringLiteral("start.html"));
    QCOMPARE(outcome.states, QList<int>{state});
    QCOMPARE(server.requestLines().size(), requests);
    if (state == 12) {
        // Only the final response's header block.
        QVERIFY2(outcome.header.startsWith(QStringLiteral("HTTP/1.1 200 OK\r\n")), qPrintable(outcome.header));
        QVERIFY(!outcome.header.contains(QStringLiteral("X-Hop")));
        QVERIFY(!outcome.header.contains(QStringLiteral("Location")));
        QCOMPARE(outcome.header.count(QStringLiteral("Content-Length")), 1);
        QCOMPARE(outcome.chunks.join(QString()), QStringLiteral("arrived"));
    } else {
        QCOMPARE(outcome.header, QString());
    }
}

void TestInet::refusedAtOnce_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("operation");

    QTest::newRow("empty URL") << QString() << QStringLiteral("GET");
    QTest::newRow("no host") << QStringLiteral("http://") << QStringLiteral("GET");
    QTest::newRow("not a URL") << QStringLiteral("20000520.html") << QStringLiteral("GET");
    QTest::newRow("blank inside") << QStringLiteral("http://127.0.0.1:PORT/a b.html") << QStringLiteral("GET");
    QTest::newRow("other scheme") << QStringLiteral("ftp://127.0.0.1:PORT/20000520.html") << QStringLiteral("GET");
    QTest::newRow("other operation") << QStringLiteral("http://127.0.0.1:PORT/20000520.html")
                                     << QStringLiteral("POST");
}

void TestInet::refusedAtOnce()
{
    QFETCH(QString, url);
    QFETCH(QString, operation);

    FaultServer server;
    url.replace(QStringLiteral("PORT"), QString::number(server.serverPort()));
    Inet inet;
    QSignalSpy spy(&inet, &Inet::StateChanged);
    inet.Execute(url, operation);
    QCOMPARE(spy.count(), 0); // Execute returns first, the outcome follows
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.takeFirst().at(0).toInt(), 11);
    QCOMPARE(inet.GetHeader(QString()), QString());
    QCOMPARE(inet.GetChunk(1024, 0), QString());
    QCOMPARE(server.requestLines(), QStringList());
}

void TestInet::protocol_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("protocol");

    QTest::newRow("http") << QStringLiteral("http://127.0.0.1:%1/") << 4;
    QTest::newRow("https counts as HTTP") << QStringLiteral("https://127.0.0.1:%1/") << 4;
    QTest::newRow("other scheme") << QStringLiteral("ftp://127.0.0.1:%1/") << 0;
}

void TestInet::protocol()
{
    QFETCH(QString, url);
    QFETCH(int, protocol);

    Inet inet;
    QCOMPARE(int(inet.Protocol()), 0);
    fetch(inet, url.arg(deadPort()));
    QCOMPARE(int(inet.Protocol()), protocol);
}

void TestInet::unusableProxy_data()
{
    QTest::addColumn<QString>("proxy");

    QTest::newRow("no port") << QStringLiteral("127.0.0.1");
    QTest::newRow("port 0") << QStringLiteral("127.0.0.1:0");
    QTest::newRow("port too large") << QStringLiteral("127.0.0.1:99999");
    QTest::newRow("other scheme") << QStringLiteral("socks5://127.0.0.1:1080");
    QTest::newRow("user part") << QStringLiteral("http://user@127.0.0.1:8080");
    QTest::newRow("words") << QStringLiteral("use the office proxy");
    QTest::newRow("nobody listens") << QStringLiteral("127.0.0.1:DEAD");
}

void TestInet::unusableProxy()
{
    QFETCH(QString, proxy);

    FaultServer server;
    server.on(QStringLiteral("/20000520.html"), FaultServer::reply(httpResponse("200 OK", "x")));
    Inet inet;
    inet.setProxy(proxy.replace(QStringLiteral("DEAD"), QString::number(deadPort())));
    QCOMPARE(inet.Proxy(), proxy);
    const Outcome outcome = fetch(inet, server.url() + QStringLiteral("20000520.html"));
    QCOMPARE(outcome.states, QList<int>{11});
    QCOMPARE(outcome.header, QString());
    QCOMPARE(server.requestLines(), QStringList()); // never went direct instead

    // An empty proxy text is a direct connection again.
    inet.setProxy(QString());
    QCOMPARE(fetch(inet, server.url() + QStringLiteral("20000520.html")).states, QList<int>{12});
}

void TestInet::cancelledRequestReportsNothing_data()
{
    QTest::addColumn<QString>("first");

    QTest::newRow("stalled request") << QStringLiteral("stall.html");
    QTest::newRow("refused URL") << QStringLiteral("ftp");
}

void TestInet::cancelledRequestReportsNothing()
{
    QFETCH(QString, first);

    FaultServer server;
    server.on(QStringLiteral("/stall.html"), FaultServer::stall());
    server.on(QStringLiteral("/ok.html"), FaultServer::reply(httpResponse("200 OK", "fine")));
    Inet inet;
    QSignalSpy states(&inet, &Inet::StateChanged);
    QSignalSpy seen(&server, &FaultServer::requestSeen);

    if (first == QLatin1String("ftp")) {
        inet.Execute(QStringLiteral("ftp://127.0.0.1/x"), QStringLiteral("GET"));
    } else {
        inet.Execute(server.url() + first, QStringLiteral("GET"));
        QVERIFY(seen.wait(10000));
        QCOMPARE(server.openConnections(), 1);
    }
    inet.Cancel();
    QCOMPARE(inet.GetHeader(QString()), QString());
    QTRY_COMPARE(server.openConnections(), 0); // the connection was dropped

    // Only the next request is reported.
    inet.Execute(server.url() + QStringLiteral("ok.html"), QStringLiteral("GET"));
    QVERIFY(states.wait(10000));
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.at(0).at(0).toInt(), 12);
    QCOMPARE(inet.GetChunk(1024, 0), QStringLiteral("fine"));

    // A new Execute abandons an outstanding one in the same way.
    states.clear();
    inet.Execute(server.url() + QStringLiteral("stall.html"), QStringLiteral("GET"));
    inet.Execute(server.url() + QStringLiteral("ok.html"), QStringLiteral("GET"));
    QVERIFY(states.wait(10000));
    QTRY_COMPARE(server.openConnections(), 0);
    QCOMPARE(states.count(), 1);
    QCOMPARE(inet.GetChunk(1024, 0), QStringLiteral("fine"));
}

QTEST_GUILESS_MAIN(TestInet)
#include "tst_inet.moc"
