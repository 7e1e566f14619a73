#include "platform/inet.h"
#include "servers.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString kText = "更新～①"; // ～ is U+FF5E in the Windows code page, which Shift_JIS stands for

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

FaultServer::Handler page(const QByteArray &body, const QByteArray &contentType = "text/html")
{
    return FaultServer::reply(httpResponse("200 OK", body, contentType));
}

} // namespace

class TestInet : public QObject
{
    Q_OBJECT

private slots:
    void transfer_data();
    void transfer();
};

// Table rows are laid out by hand.
// clang-format off
void TestInet::transfer_data()
{
    QTest::addColumn<FaultServer::Handler>("server"); // its answer to the request
    QTest::addColumn<QString>("outcome");

    const QString meta = "<meta charset=\"utf-8\">" + kText;
    const QByteArray over = QByteArray(Inet::MaxBody + 1, 'x');
    QTest::newRow("body of exactly the declared length, no close")
        << FaultServer::Handler([](QTcpSocket *socket) { socket->write(httpResponse("200 OK", sjis(kText))); })
        << "HTTP/1.1 200 OK\n" + kText;
    QTest::newRow("a body over the cap, to the close") << FaultServer::reply("HTTP/1.0 200 OK\r\n\r\n" + over)
                                                       << "failure: ページが大きすぎます";
    QTest::newRow("a declared length over the cap") << FaultServer::reply(httpResponse("200 OK", over))
                                                    << "failure: ページが大きすぎます";
    QTest::newRow("cut short") << FaultServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + sjis(kText))
                               << "failure: RESET";
    QTest::newRow("reset") << FaultServer::reset() << "failure: RESET";
    QTest::newRow("redirect loop") << FaultServer::reply("HTTP/1.1 302 Found\r\nLocation: /page.html\r\n\r\n")
                                   << "failure: 転送が多すぎます";
    QTest::newRow("compressed") << FaultServer::reply("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\nabcd")
                                << "failure: 圧縮されたページは読めません";
    // The text in the charset named in Content-Type, else in a META, else windows-31j.
    QTest::newRow("Content-Type names UTF-8") << page(kText.toUtf8(), "text/html; charset=UTF-8") << "HTTP/1.1 200 OK\n" + kText;
    QTest::newRow("a META names UTF-8") << page(meta.toUtf8()) << "HTTP/1.1 200 OK\n" + meta;
    QTest::newRow("Content-Type wins over a META") << page(sjis(meta), "text/html; charset=Shift_JIS")
                                                   << "HTTP/1.1 200 OK\n" + meta;
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

QTEST_GUILESS_MAIN(TestInet)
#include "tst_inet.moc"
