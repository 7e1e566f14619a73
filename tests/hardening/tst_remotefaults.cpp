#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "remote/form_setting.h"
#include "remote/form_update.h"
#include "servers.h"
#include "testenv.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

const QString kFound = QStringLiteral("000007 終了\n2000/05/20 終了\n完了\n");
// The missing-page line, then why.
QString missing(const QString &why)
{
    return QStringLiteral("2000/05/20 存在しません。\n（") + why + QStringLiteral("）\n完了\n");
}

// A status page with one record, site 7 in blue, in windows-31j.
QByteArray page(const QByteArray &before = {}, const QByteArray &after = {})
{
    return "<HTML><BODY>\r\n" + before
        + sjis(QStringLiteral("<FONT COLOR='#0000FF'>ジャズ館 (000007)</FONT> <FONT Size=2>2000/05/20 21:04:33</FONT><BR>\r\n"))
        + after + "</BODY></HTML>\r\n";
}

QByteArray withType(const QByteArray &contentType, const QByteArray &body)
{
    return httpResponse("200 OK", body, contentType);
}

// Writes the head, then the piece over and over for as long as the client
// reads: a server that never ends its response. Once timeUpAfter bytes have
// gone out (if given) the test clock moves on by the window's five minutes,
// as a user's clock would while it waits.
FaultServer::Handler endless(const QByteArray &head, const QByteArray &piece, qint64 timeUpAfter = -1)
{
    return [head, piece, timeUpAfter](QTcpSocket *socket) {
        auto written = std::make_shared<qint64>(0);
        auto more = [socket, piece] {
            while (socket->bytesToWrite() < 4 * piece.size())
                socket->write(piece);
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [=](qint64 bytes) {
            const bool before = timeUpAfter >= 0 && *written < timeUpAfter;
            *written += bytes;
            if (before && *written >= timeUpAfter)
                Clock::instance().advance(300);
            more();
        });
        socket->write(head);
        more();
    };
}

QByteArray chunk(const QByteArray &bytes)
{
    return QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n";
}

// The download window as the menu makes it.
class Window
{
public:
    explicit Window(const QString &url)
        : setting(std::make_unique<Form_Setting>(&menu))
    {
        setting->txt_URL->setText(url);
        form = new Form_Update(&menu, setting.get());
    }
    ~Window() { delete form; }
    bool run()
    {
        menu.hide();
        QSignalSpy done(form, &TaskWindow::activationDone);
        form->showFromMenu();
        return done.wait(120000);
    }
    QWidget menu;
    std::unique_ptr<Form_Setting> setting;
    QPointer<Form_Update> form;
};

} // namespace

Q_DECLARE_METATYPE(FaultServer::Handler)

class TestRemoteFaults : public QObject
{
    Q_OBJECT
private slots:
    void serverFaults_data();
    void serverFaults();
};

void TestRemoteFaults::serverFaults_data()
{
    QTest::addColumn<FaultServer::Handler>("handler");
    QTest::addColumn<QString>("log");

    const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const QByteArray filler(64 * 1024, 'x');
    constexpr qint64 kTimeUp = 2 * 1024 * 1024; // far more than any page's header

    const QString tooLarge = missing(QStringLiteral("ページが大きすぎます")), timeUp = missing(QStringLiteral("タイムアウト"));
    const QString closed = missing(QStringLiteral("通信エラー：Connection closed"));
    QTest::newRow("endless body to the close") << endless(ok + "Connection: close\r\n\r\n", filler) << tooLarge;
    QTest::newRow("endless chunked body") << endless(chunked, chunk(filler)) << tooLarge;
    QTest::newRow("endless header lines")
        << endless("HTTP/1.1 200 OK\r\n", "X-Filler: " + QByteArray(1000, 'h') + "\r\n", kTimeUp) << timeUp;
    QTest::newRow("one header line without end")
        << endless("HTTP/1.1 200 OK\r\nX-Filler: ", filler, kTimeUp) << timeUp;
    QTest::newRow("endless status line") << endless("HTTP/1.1 200 ", filler, kTimeUp) << timeUp;

    const QByteArray body = page();
    QTest::newRow("closed mid-chunk")
        << FaultServer::reply(chunked + QByteArray::number(body.size(), 16) + "\r\n" + body.left(body.size() / 2))
        << closed;
    QTest::newRow("closed after a chunk, before the last") << FaultServer::reply(chunked + chunk(body)) << closed;
    // Qt takes a chunk size it cannot read for the last chunk: an empty page.
    const QString empty = QStringLiteral("2000/05/20 終了\n完了\n");
    QTest::newRow("chunk size that is no number") << FaultServer::reply(chunked + "zz\r\n" + body) << empty;
    QTest::newRow("chunk size beyond 64 bits")
        << FaultServer::reply(chunked + "FFFFFFFFFFFFFFFFFF\r\n" + body) << empty;
    QTest::newRow("whole chunked page") << FaultServer::reply(chunked + chunk(body) + "0\r\n\r\n") << kFound;

    // The text around the record is broken; the record itself still reads.
    QTest::newRow("invalid Shift-JIS bytes")
        << FaultServer::reply(withType("text/html", page("\x81\xff\xfc\x80\xa0\xe0\xef\xfd\xfe\x82\r\n",
                                                         "\x81\x7f\x9f\xfc\x00\x81")))
        << kFound;
    QTest::newRow("lead byte cut at the end")
        << FaultServer::reply(withType("text/html", page() + "\x82")) << kFound;
    QTest::newRow("unknown charset in Content-Type")
        << FaultServer::reply(withType("text/html; charset=x-no-such-charset", page())) << kFound;
    QTest::newRow("unknown charset in a meta tag")
        << FaultServer::reply(withType("text/html", "<meta charset=\"klingon-8\">" + page())) << kFound;
    QTest::newRow("charset of punctuation")
        << FaultServer::reply(withType("text/html; charset=\"..::--\"", page())) << kFound;
}

void TestRemoteFaults::serverFaults()
{
    QFETCH(FaultServer::Handler, handler);
    QFETCH(QString, log);

    TestEnv env;
    env.makeDir(QStringLiteral("data"));
    SettingsStore::save(QStringLiteral("Date"), QStringLiteral("Update"), QStringLiteral("2000/05/20"));
    FaultServer server;
    server.on(QStringLiteral("/20000520.html"), handler);

    Window window(server.url());
    QVERIFY(window.run());
    QCOMPARE(window.form->txt_Condition->toPlainText(), log);

    // Whatever the server did, the way back to the menu is open.
    QVERIFY(window.form->cmd_OK->isEnabled());
    QTest::mouseClick(window.form->cmd_OK, Qt::LeftButton);
    QVERIFY(window.menu.isVisible());
    QTRY_VERIFY(window.form.isNull());
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
}

QTEST_MAIN(TestRemoteFaults)
#include "tst_remotefaults.moc"
