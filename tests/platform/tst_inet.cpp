#include "platform/inet.h"
#include "servers.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QByteArray kPage = sjis("<HTML><BODY>更新～①</BODY></HTML>\r\n");
const QString kPageText = "<HTML><BODY>更新～①</BODY></HTML>\r\n";

// One GET through the control: "failure: <why>", or the status line and the whole body as text.
QString get(Inet &inet, const QString &url)
{
    QSignalSpy done(&inet, &Inet::StateChanged);
    inet.Execute(url, "GET");
    if (!done.wait(60000))
        return "no outcome";
    if (done.first().first().value<qint16>() == Inet::icError)
        return "failure: " + inet.failure();
    QString body;
    for (QString piece = inet.GetChunk(1024, Inet::icString); !piece.isEmpty();
         piece = inet.GetChunk(1024, Inet::icString))
        body += piece;
    return inet.GetHeader().section("\r\n", 0, 0) + '\n' + body;
}

QString response(const QString &status, const QString &body)
{
    return status + '\n' + body;
}

} // namespace

class TestInet : public QObject
{
    Q_OBJECT

private slots:
    void transfer_data();
    void transfer();
    void proxy_data();
    void proxy();
    void decode_data();
    void decode();
};

// Table rows are laid out by hand.
// clang-format off
void TestInet::transfer_data()
{
    QTest::addColumn<FaultServer::Handler>("server"); // its answer to the request
    QTest::addColumn<QString>("outcome");

    QTest::newRow("body of exactly the declared length, no close")
        << FaultServer::Handler([](QTcpSocket *socket) { socket->write(httpResponse("200 OK", kPage)); })
        << response("HTTP/1.1 200 OK", kPageText);
    QTest::newRow("a body of exactly the cap") << FaultServer::reply("HTTP/1.0 200 OK\r\n\r\n" + QByteArray(Inet::MaxBody, 'x'))
                                               << response("HTTP/1.1 200 OK", QString(Inet::MaxBody, 'x'));
    QTest::newRow("a body one byte over the cap, to the close")
        << FaultServer::reply("HTTP/1.0 200 OK\r\n\r\n" + QByteArray(Inet::MaxBody + 1, 'x')) << "failure: ページが大きすぎます";
    QTest::newRow("a declared length over the cap")
        << FaultServer::reply(httpResponse("200 OK", QByteArray(Inet::MaxBody + 1, 'x'))) << "failure: ページが大きすぎます";
    QTest::newRow("cut short") << FaultServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + kPage)
                               << "failure: RESET";
    QTest::newRow("reset") << FaultServer::reset() << "failure: RESET";
    QTest::newRow("redirect loop") << FaultServer::reply("HTTP/1.1 302 Found\r\nLocation: /page.html\r\n\r\n")
                                   << "failure: 転送が多すぎます";
    QTest::newRow("compressed") << FaultServer::reply("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\nabcd")
                                << "failure: 圧縮されたページは読めません";
}
// clang-format on

// What one request brings back from a server that answers as it is told.
void TestInet::transfer()
{
    QFETCH(FaultServer::Handler, server);
    QFETCH(QString, outcome);
    FaultServer fault;
    fault.on("/page.html", server);
    Inet inet;
    // A transfer cut short is reported by Qt or by the control itself.
    QCOMPARE(get(inet, fault.url() + "page.html")
                 .replace(QRegularExpression("^failure: (通信エラー：.*|ページが途中で切れました)$"), "failure: RESET"),
             outcome);
    QTRY_COMPARE(fault.openConnections(), 0); // nothing left hanging
}

// Table rows are laid out by hand.
// clang-format off
void TestInet::proxy_data()
{
    QTest::addColumn<QString>("proxy"); // %1: a real proxy's port on 127.0.0.1
    QTest::addColumn<QString>("url"); // %2: the server's port, %3: a port nobody listens on
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<bool>("proxied"); // whether the proxy forwarded the request

    const QString found = response("HTTP/1.1 404 Not Found", "<html>not here</html>");
    QTest::newRow("blanks, a scheme in capitals and a slash") << " HTTP://127.0.0.1:%1/ " << "http://127.0.0.1:%2/page.html"
                                                              << found << true;
    QTest::newRow("nobody listening at the server, no proxy") << "" << "http://127.0.0.1:%3/page.html"
                                                             << "failure: サーバーに接続できません" << false;
}
// clang-format on

void TestInet::proxy()
{
    QFETCH(QString, proxy);
    QFETCH(QString, url);
    QFETCH(QString, outcome);
    QFETCH(bool, proxied);
    FaultServer server;
    ForwardProxy forward;
    const QString why = forward.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    Inet inet;
    const QString dead = QString::number(deadPort());
    inet.setProxy(QString(proxy).replace("%1", QString::number(forward.port())));
    const QString target = QString(url).replace("%2", QString::number(server.serverPort())).replace("%3", dead);
    QCOMPARE(get(inet, target), outcome);
    QCOMPARE(forward.log().contains("GET " + target), proxied);
}

// Table rows are laid out by hand.
// clang-format off
void TestInet::decode_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");
    const QString text = "更新～①"; // ～ is U+FF5E in the Windows code page, which Shift_JIS stands for
    const QString meta = "<meta charset=\"utf-8\">" + text;
    QTest::newRow("no charset: windows-31j") << sjis(text) << QByteArray("text/html") << text;
    QTest::newRow("Content-Type names UTF-8") << text.toUtf8() << QByteArray("text/html; charset=UTF-8") << text;
    QTest::newRow("a META names UTF-8") << meta.toUtf8() << QByteArray("text/html") << meta;
    QTest::newRow("Content-Type wins over a META") << sjis("<meta charset=\"utf-8\">" + text)
                                                   << QByteArray("text/html; charset=Shift_JIS") << meta;
}
// clang-format on

// The body's text: the charset named in Content-Type, else in a META, else windows-31j.
void TestInet::decode()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, text);
    QCOMPARE(Inet::decodeBody(body, contentType), text);
}

QTEST_GUILESS_MAIN(TestInet)
#include "tst_inet.moc"
