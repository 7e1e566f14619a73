#pragma once

#include "httpserver.h"
#include "testenv.h"

#include <QHash>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <functional>

class QTcpSocket;

// Python's static web server on a temporary directory of its own.
class WebServer
{
public:
    QString start(quint16 port = 0) { return m_server.start(m_dir.path(), port); }
    QString url() const { return m_server.url(); }
    void writeFile(const QString &name, const QByteArray &bytes) const { saveBytes(m_dir.filePath(name), bytes); }

private:
    QTemporaryDir m_dir;
    HttpServer m_server;
};

// tinyproxy on 127.0.0.1, logging to a file, while the object lives.
class ForwardProxy
{
public:
    ~ForwardProxy();
    QString start(quint16 port = 0); // empty when it is ready, else why not; 0 picks a free port
    quint16 port() const { return m_port; }
    QString log() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// A bare HTTP server for faults a real server will not produce on demand:
// each path has a handler that writes to (or stalls, or breaks) the socket.
class FaultServer : public QTcpServer
{
    Q_OBJECT

public:
    using Handler = std::function<void(QTcpSocket *socket)>;

    FaultServer();
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort()); }
    void on(const QString &path, Handler handler) { m_handlers.insert(path, std::move(handler)); }
    int openConnections() const;

    static Handler reply(const QByteArray &raw); // then closes

    static Handler stall()
    {
        return [](QTcpSocket *) {};
    }
    static Handler reset();

signals:
    void requestSeen(const QString &path);

private:
    QHash<QString, Handler> m_handlers;
};

// A port on 127.0.0.1 that nobody listens on.
quint16 deadPort();
// A complete response with the given status and body and Content-Length.
QByteArray httpResponse(const QByteArray &status, const QByteArray &body, const QByteArray &contentType = "text/html");
