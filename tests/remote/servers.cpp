#include "servers.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace {

// Waits for a started program to report that it is ready.
bool waitFor(const std::function<bool()> &ready, QProcess &process)
{
    for (int i = 0; i < 500; ++i) {
        if (ready())
            return true;
        if (process.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(20);
    }
    return ready();
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

WebServer::WebServer() = default;

WebServer::~WebServer()
{
    stop(m_process);
}

QString WebServer::start()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return QStringLiteral("python3 is not installed (scripts/deps.sh test installs it)");
    m_process.setWorkingDirectory(m_dir.path()); // the test's own current directory may be gone
    m_process.setProgram(python);
    m_process.setArguments({QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                            QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("0"),
                            QStringLiteral("--directory"), m_dir.path()});
    m_process.start();
    static const QRegularExpression serving(QStringLiteral("Serving HTTP on 127\\.0\\.0\\.1 port ([0-9]+)"));
    QByteArray out;
    const bool up = waitFor(
        [&] {
            out += m_process.readAllStandardOutput();
            const QRegularExpressionMatch match = serving.match(QString::fromLatin1(out));
            if (match.hasMatch())
                m_port = quint16(match.captured(1).toUInt());
            return m_port != 0;
        },
        m_process);
    if (!up)
        return QStringLiteral("python3 -m http.server did not start: ") + QString::fromLocal8Bit(out)
            + QString::fromLocal8Bit(m_process.readAllStandardError());
    return {};
}

QString WebServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

void WebServer::writeFile(const QString &name, const QByteArray &bytes) const
{
    QFile file(m_dir.filePath(name));
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    file.write(bytes);
}

void WebServer::clear() const
{
    QDir dir(m_dir.path());
    for (const QString &name : dir.entryList(QDir::Files))
        dir.remove(name);
}

QStringList WebServer::requests()
{
    m_log += m_process.readAllStandardError();
    static const QRegularExpression line(QStringLiteral("\"GET (\\S+) HTTP/[0-9.]+\""));
    QStringList paths;
    auto it = line.globalMatch(QString::fromLatin1(m_log));
    while (it.hasNext())
        paths.append(it.next().captured(1));
    return paths;
}

ForwardProxy::~ForwardProxy()
{
    stop(m_process);
}

QString ForwardProxy::start()
{
    const QString tinyproxy = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"),
                                                             {QStringLiteral("/usr/bin"), QStringLiteral("/usr/sbin")});
    if (tinyproxy.isEmpty())
        return QStringLiteral("tinyproxy is not installed (scripts/deps.sh test installs it)");
    m_port = deadPort();
    const QString config = m_dir.filePath(QStringLiteral("tinyproxy.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nLogFile \"%2\"\nLogLevel Info\n"
                              "MaxClients 10\nAllow 127.0.0.1\n")
                   .arg(m_port)
                   .arg(m_dir.filePath(QStringLiteral("tinyproxy.log")))
                   .toLocal8Bit());
    file.close();
    m_process.setWorkingDirectory(m_dir.path());
    m_process.setProgram(tinyproxy);
    m_process.setArguments({QStringLiteral("-d"), QStringLiteral("-c"), config});
    m_process.start();
    if (!waitFor([this] { return log().contains(QStringLiteral("Accepting connections")); }, m_process))
        return QStringLiteral("tinyproxy did not start: ") + log();
    return {};
}

QString ForwardProxy::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("tinyproxy.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

FaultServer::FaultServer()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            m_sockets.append(socket);
            socket->setProperty("request", QByteArray());
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString FaultServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort());
}

int FaultServer::openConnections() const
{
    int open = 0;
    for (const QPointer<QTcpSocket> &socket : m_sockets)
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            ++open;
    return open;
}

void FaultServer::serve(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    // One request per connection is all the client sends here at a time.
    const qsizetype end = request.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("request", request);
        return;
    }
    socket->setProperty("request", request.mid(end + 4));
    const QByteArray line = request.left(request.indexOf("\r\n"));
    m_requestLines.append(QString::fromLatin1(line));
    QString path = QString::fromLatin1(line.split(' ').value(1));
    // A request through a proxy names the whole URL.
    if (path.startsWith(QLatin1String("http://")))
        path = QLatin1Char('/') + path.section(QLatin1Char('/'), 3);
    emit requestSeen(path);
    const Handler handler = m_handlers.value(path);
    if (handler)
        handler(socket);
    else
        reply(httpResponse("404 Not Found", "<html>not here</html>"))(socket);
}

FaultServer::Handler FaultServer::reply(const QByteArray &raw, bool thenClose)
{
    return [raw, thenClose](QTcpSocket *socket) {
        socket->write(raw);
        if (thenClose)
            socket->disconnectFromHost();
    };
}

FaultServer::Handler FaultServer::stall()
{
    return [](QTcpSocket *) {};
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
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType + "\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}
