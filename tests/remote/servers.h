#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>

#include <functional>

class QTcpSocket;

// Python's static web server on 127.0.0.1 serving a temporary directory.
class WebServer
{
public:
    WebServer();
    ~WebServer();

    // Empty when running, else why not (python3 missing, did not start).
    QString start();
    QString dir() const { return m_dir.path(); }
    QString url() const; // "http://127.0.0.1:<port>/"
    quint16 port() const { return m_port; }
    void writeFile(const QString &name, const QByteArray &bytes) const;
    void clear() const;
    // The paths asked for so far, in order ("/20000520.html").
    QStringList requests();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_log;
};

// tinyproxy on 127.0.0.1 with its log in a temporary directory.
class ForwardProxy
{
public:
    ~ForwardProxy();
    QString start();
    quint16 port() const { return m_port; }
    QString log() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// A bare HTTP server for faults a real server will not produce on demand.
// Each path has a handler that writes to (or stalls, or breaks) the socket.
class FaultServer : public QTcpServer
{
    Q_OBJECT

public:
    using Handler = std::function<void(QTcpSocket *socket)>;

    FaultServer();
    QString url() const;
    void on(const QString &path, Handler handler) { m_handlers.insert(path, std::move(handler)); }
    QStringList requestLines() const { return m_requestLines; }
    int openConnections() const;

    // Handlers for the usual cases.
    static Handler reply(const QByteArray &raw, bool thenClose = true);
    static Handler stall();
    static Handler reset();

signals:
    void requestSeen(const QString &path);

private:
    void serve(QTcpSocket *socket);

    QHash<QString, Handler> m_handlers;
    QStringList m_requestLines;
    QList<QPointer<QTcpSocket>> m_sockets;
};

// A port on 127.0.0.1 that nobody listens on.
quint16 deadPort();
// A complete response with the given status and body and Content-Length.
QByteArray httpResponse(const QByteArray &status, const QByteArray &body,
                        const QByteArray &contentType = "text/html");
