#include "servers.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

ForwardProxy::~ForwardProxy()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString ForwardProxy::start(quint16 port)
{
    const QString program = QStandardPaths::findExecutable("tinyproxy");
    if (program.isEmpty())
        return "tinyproxy is not installed (scripts/deps.sh test installs it)";
    m_port = port != 0 ? port : deadPort();
    QFile config(m_dir.filePath("tinyproxy.conf"));
    const QString text = QString("Port %1\nListen 127.0.0.1\nLogFile \"%2\"\nLogLevel Info\nAllow 127.0.0.1\n")
                             .arg(m_port)
                             .arg(m_dir.filePath("tinyproxy.log"));
    if (!config.open(QIODevice::WriteOnly) || config.write(text.toLocal8Bit()) < 0 || !config.flush())
        return config.errorString();
    m_process.setWorkingDirectory(m_dir.path()); // the test's own current directory may be gone
    m_process.start(program, {"-d", "-c", config.fileName()});
    for (int i = 0; i < 500 && m_process.state() != QProcess::NotRunning && !log().contains("Accepting"); ++i)
        QTest::qWait(20);
    return log().contains("Accepting")
        ? QString()
        : "tinyproxy did not start: " + QString::fromLocal8Bit(m_process.readAllStandardError());
}

QString ForwardProxy::log() const
{
    QFile file(m_dir.filePath("tinyproxy.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

FaultServer::FaultServer()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                const QByteArray head = socket->peek(socket->bytesAvailable());
                if (!head.contains("\r\n\r\n"))
                    return; // the rest of the request is on its way
                socket->read(head.indexOf("\r\n\r\n") + 4);
                // A request through a proxy names the whole URL.
                const QString path = QUrl(QString::fromLatin1(head.split(' ').value(1))).path();
                emit requestSeen(path);
                m_handlers.value(path, reply(httpResponse("404 Not Found", "<html>not here</html>")))(socket);
            });
        }
    });
}

int FaultServer::openConnections() const
{
    const QList<QTcpSocket *> sockets = findChildren<QTcpSocket *>();
    return int(std::count_if(sockets.begin(), sockets.end(),
                             [](QTcpSocket *socket) { return socket->state() == QAbstractSocket::ConnectedState; }));
}

FaultServer::Handler FaultServer::reply(const QByteArray &raw)
{
    return [raw](QTcpSocket *socket) {
        socket->write(raw);
        socket->disconnectFromHost();
    };
}

FaultServer::Handler FaultServer::reset()
{
    return [](QTcpSocket *socket) {
#ifdef Q_OS_UNIX
        // A zero linger turns the close into a reset.
        const struct linger hard = {1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
#endif
        socket->abort();
    };
}

quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray httpResponse(const QByteArray &status, const QByteArray &body, const QByteArray &contentType)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType
        + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}
