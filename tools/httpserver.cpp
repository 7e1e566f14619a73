#include "httpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>

HttpServer::~HttpServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString HttpServer::start(const QString &dir, quint16 port)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return QStringLiteral("python3 is not installed (scripts/deps.sh test installs it)");
    QDir().mkpath(dir);
    m_process.setWorkingDirectory(dir); // the caller's current directory may be gone
    m_process.start(python,
                    {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                     QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QString::number(port),
                     QStringLiteral("--directory"), dir});
    static const QRegularExpression serving(QStringLiteral("Serving HTTP on 127\\.0\\.0\\.1 port ([0-9]+)"));
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000 && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(100);
        out += m_process.readAllStandardOutput();
        m_port = quint16(serving.match(QString::fromLatin1(out)).captured(1).toUInt());
        if (m_port != 0)
            return {};
    }
    return QStringLiteral("python3 -m http.server did not start: ")
        + QString::fromLocal8Bit(out + m_process.readAllStandardError());
}
