#include "updatefloor.h"

#include "platform/datetext.h"
#include "platform/files.h"
#include "remote/statuspage.h"
#include "store/datafiles.h"
#include "store/textrules.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <cstdio>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

bool waitForPort(quint16 port, QProcess &process)
{
    for (int i = 0; i < 500 && process.state() != QProcess::NotRunning; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(100))
            return true;
        QThread::msleep(20);
    }
    return false;
}

const char *const kColours[] = {"0000FF", "00FF00", "FF0000", "000000", "ff0000"};

} // namespace

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray makePage(const QDate &day, int records)
{
    QString text = QStringLiteral("<HTML><HEAD><TITLE>更新状況 ") + DateText::format(day)
        + QStringLiteral("</TITLE></HEAD><BODY>\r\n");
    for (int i = 0; i < records; ++i) {
        const int number = (day.dayOfYear() * 397 + i * 61) % 32000 + 1;
        text += QStringLiteral("<FONT COLOR='#") + QLatin1String(kColours[(i + day.day()) % 5])
            + QStringLiteral("'>登録サイト") + QString::number(number) + QStringLiteral(" (") + QString::number(number)
            + QStringLiteral(")</FONT> <A HREF=\"http://example.jp/~user") + QString::number(number)
            + QStringLiteral("/\">http://example.jp/~user") + QString::number(number)
            + QStringLiteral("/</A> <FONT Size=2>") + DateText::format(day)
            + QStringLiteral(" %1:%2:%3</FONT><BR>\r\n")
                  .arg(i % 24, 2, 10, QLatin1Char('0'))
                  .arg(i % 60, 2, 10, QLatin1Char('0'))
                  .arg((i * 7) % 60, 2, 10, QLatin1Char('0'));
    }
    text += QStringLiteral("</BODY></HTML>\r\n");
    return TextRules::encode(text);
}

StaticServer::~StaticServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool StaticServer::start(const QString &root, const QString &work)
{
    m_port = freePort();
    const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"),
                                                         {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (!nginx.isEmpty()) {
        QFile conf(work + QStringLiteral("/nginx.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("daemon off;\nmaster_process off;\nworker_processes 1;\npid %1/nginx.pid;\n"
                                  "error_log %1/error.log;\nevents { worker_connections 64; }\n"
                                  "http { access_log off; default_type text/html;\n"
                                  "  client_body_temp_path %1; proxy_temp_path %1; fastcgi_temp_path %1;\n"
                                  "  uwsgi_temp_path %1; scgi_temp_path %1;\n"
                                  "  server { listen 127.0.0.1:%2; root %3; } }\n")
                       .arg(work)
                       .arg(m_port)
                       .arg(root)
                       .toLocal8Bit());
        conf.close();
        m_name = QStringLiteral("nginx");
        m_process.start(nginx,
                        {QStringLiteral("-p"), work, QStringLiteral("-e"), work + QStringLiteral("/error.log"),
                         QStringLiteral("-c"), conf.fileName()});
        return waitForPort(m_port, m_process);
    }
    m_name = QStringLiteral("python3 -m http.server");
    if (const QString why = m_python.start(root); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return false;
    }
    m_port = m_python.port();
    return true;
}

void writeFloor(const QString &pagesDir, const QList<QDate> &days, const QString &appDir)
{
    qint16 method = 0;
    const QString dataDir = appDir + QStringLiteral("/data");
    int serial = 0;
    QStringList spares;
    for (const QDate &day : days) {
        QFile file(pagesDir + QLatin1Char('/') + StatusPage::pageUrl(QString(), day));
        file.open(QIODevice::ReadOnly);
        const QString text = TextRules::decode(file.readAll());
        const QByteArray checkDate = TextRules::encode(QLatin1Char('#') + DateText::format(day) + QLatin1Char('#'))
            + "\r\n";
        QMap<QString, QString> renames; // target -> temporary
        qsizetype pos = 0;
        for (;;) {
            pos = text.indexOf(QLatin1String("<FONT COLOR='#"), pos);
            if (pos < 0)
                break;
            pos += 14;
            method = StatusPage::methodCodeFor(QStringView(text).mid(pos, 6), method);
            pos = text.indexOf(QLatin1Char('('), pos) + 1;
            const qint16 number = TextRules::number16(QStringView(text).mid(pos, 6));
            pos = text.indexOf(QLatin1String("<FONT Size=2>"), pos) + 13;
            const QString target = DataFiles::updateStatePath(appDir, number);
            const QByteArray bytes = TextRules::encode(QLatin1Char('#') + QStringView(text).mid(pos, 19).toString()
                                                       + QLatin1Char('#'))
                + "\r\n" + checkDate + TextRules::encode(TextRules::numberLine(method)) + "\r\n";
            // A spare is rewritten in place: emptying it first would free its block only to take another.
            QFile out(spares.isEmpty() ? target + QStringLiteral(".f%1").arg(++serial, 5, 36, QLatin1Char('0'))
                                       : spares.takeLast());
            if (!out.open(out.exists() ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::NewOnly)
                || out.write(bytes) != bytes.size() || !out.resize(bytes.size()))
                qFatal("floor: cannot write %s", qPrintable(out.fileName()));
            out.close();
            const QString earlier = renames.value(target);
            if (!earlier.isEmpty())
                spares.append(earlier);
            renames.insert(target, out.fileName());
        }
        if (renames.isEmpty())
            continue;
#ifdef Q_OS_LINUX
        if (!Files::syncFileSystem(dataDir))
            qFatal("floor: sync failed");
        for (auto it = renames.cbegin(); it != renames.cend(); ++it) {
            const QByteArray target = QFile::encodeName(it.key());
            const QByteArray temporary = QFile::encodeName(it.value());
            if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0)
                spares.append(it.value());
            else if (::rename(temporary.constData(), target.constData()) != 0)
                qFatal("floor: rename failed");
        }
        if (!Files::syncDirectory(dataDir))
            qFatal("floor: fsync of the directory failed");
#else
        qFatal("the floor writer syncs a file system, which needs Linux");
#endif
    }
    for (const QString &spare : std::as_const(spares))
        QFile::remove(spare);
}

QByteArray dataDigest(const QString &appDir)
{
    QByteArray all;
    const QDir data(appDir + QStringLiteral("/data"));
    for (const QString &name : data.entryList(QDir::Files, QDir::Name)) {
        QFile file(data.filePath(name));
        file.open(QIODevice::ReadOnly);
        all += name.toLatin1() + '\n' + file.readAll();
    }
    return all;
}
