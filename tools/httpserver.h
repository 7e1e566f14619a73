#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// Python's static web server on 127.0.0.1, on a port it picks itself,
// serving a directory while the object lives.
class HttpServer
{
public:
    HttpServer() = default;
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Empty when it serves, else why not. Port 0 lets it pick a free one.
    QString start(const QString &dir, quint16 port = 0);
    quint16 port() const { return m_port; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    // What it has logged since the last call: a line per request.
    QByteArray takeLog() { return m_process.readAllStandardError(); }

private:
    QProcess m_process;
    quint16 m_port = 0;
};
