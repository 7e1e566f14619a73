// Times a whole update status download of a year of daily pages, served by a
// real web server on 127.0.0.1, against a floor: curl fetching the same
// addresses in one process, plus a minimal writer of the same update-state
// files by the same atomic replace. Prints both, their ratio, the peak
// memory after the download, and the processor time of a stalled wait.
//   bench_update [days] [records per page] [stall seconds] [directory]
// The directory holds the program directories and the fetched pages; on a
// tmpfs the syncing of each replace costs nothing, which leaves the
// download's own costs in the ratio.
#include "httpserver.h"
#include "platform/clock.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"
#include "remote/form_setting.h"
#include "remote/form_update.h"
#include "remote/statuspage.h"
#include "store/datafiles.h"
#include "store/textfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

#include "../peakmemory.h"
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

double cpuSeconds()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
        + usage.ru_stime.tv_usec / 1e6;
#else
    return -1.0;
#endif
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

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

QByteArray makePage(const QDate &day, int records)
{
    QString text = QStringLiteral("<HTML><HEAD><TITLE>更新状況 ") + StatusPage::dateText(day)
        + QStringLiteral("</TITLE></HEAD><BODY>\r\n");
    for (int i = 0; i < records; ++i) {
        const int number = (day.dayOfYear() * 397 + i * 61) % 32000 + 1;
        text += QStringLiteral("<FONT COLOR='#") + QLatin1String(kColours[(i + day.day()) % 5])
            + QStringLiteral("'>登録サイト") + QString::number(number) + QStringLiteral(" (") + QString::number(number)
            + QStringLiteral(")</FONT> <A HREF=\"http://example.jp/~user") + QString::number(number)
            + QStringLiteral("/\">http://example.jp/~user") + QString::number(number)
            + QStringLiteral("/</A> <FONT Size=2>") + StatusPage::dateText(day)
            + QStringLiteral(" %1:%2:%3</FONT><BR>\r\n")
                  .arg(i % 24, 2, 10, QLatin1Char('0'))
                  .arg(i % 60, 2, 10, QLatin1Char('0'))
                  .arg((i * 7) % 60, 2, 10, QLatin1Char('0'));
    }
    text += QStringLiteral("</BODY></HTML>\r\n");
    return TextRules::encode(text);
}

// A static server: nginx when present, else Python's.
class StaticServer
{
public:
    ~StaticServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool start(const QString &root, const QString &work)
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
            m_process.start(nginx, {QStringLiteral("-p"), work, QStringLiteral("-e"), work + QStringLiteral("/error.log"),
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

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    QString name() const { return m_name; }

private:
    QProcess m_process;
    HttpServer m_python;
    quint16 m_port = 0;
    QString m_name;
};

// Sets up a program directory and settings of its own.
QString s_base;

QString templateIn(const QString &base)
{
    return (base.isEmpty() ? QDir::tempPath() : base) + QStringLiteral("/bench_update-XXXXXX");
}

struct Place
{
    Place()
        : dir(templateIn(s_base))
    {
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        setAppDir(dir.path());
        SettingsStore::useFile(dir.path() + QStringLiteral("/settings.ini"));
    }
    QTemporaryDir dir;
};

// Runs one download in a window and returns its seconds.
double download(const QString &url, const QString &from, QString *log)
{
    SettingsStore::save(QStringLiteral("Date"), QStringLiteral("Update"), from);
    QWidget menu;
    Form_Setting setting(&menu);
    setting.txt_URL->setText(url);
    auto *form = new Form_Update(&menu, &setting);
    QEventLoop done;
    QObject::connect(form, &TaskWindow::activationDone, &done, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    form->showFromMenu();
    done.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (log)
        *log = form->txt_Condition->toPlainText();
    delete form;
    return seconds;
}

// The floor's writer: the same records out of the same pages, the same
// three lines per file, the same QSaveFile replace.
void writeFloor(const QString &pagesDir, const QList<QDate> &days, const QString &appDir)
{
    qint16 method = 0;
    for (const QDate &day : days) {
        QFile file(pagesDir + QLatin1Char('/') + StatusPage::pageUrl(QString(), day));
        file.open(QIODevice::ReadOnly);
        const QString text = TextRules::decode(file.readAll());
        const QByteArray checkDate = TextRules::encode(QLatin1Char('#') + StatusPage::dateText(day) + QLatin1Char('#'))
            + "\r\n";
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
            QSaveFile out(DataFiles::updateStatePath(appDir, number));
            out.setDirectWriteFallback(false);
            out.open(QIODevice::WriteOnly);
            out.write(TextRules::encode(QLatin1Char('#') + QStringView(text).mid(pos, 19).toString() + QLatin1Char('#')) + "\r\n");
            out.write(checkDate);
            out.write(TextRules::encode(TextRules::numberLine(method)) + "\r\n");
            out.commit();
        }
    }
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

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int dayCount = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 365;
    const int records = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 400;
    const int stallSeconds = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 10;
    s_base = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();

    const QDate first(2001, 1, 1);
    QList<QDate> days;
    for (int i = 0; i < dayCount; ++i)
        days.append(first.addDays(i));
    const QDate last = days.last();

    QTemporaryDir www;
    QTemporaryDir work;
    QFile::setPermissions(www.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                          | QFileDevice::ReadOther | QFileDevice::ExeOther);
    qint64 pageBytes = 0;
    for (const QDate &day : days) {
        QFile page(www.path() + QLatin1Char('/') + StatusPage::pageUrl(QString(), day));
        page.open(QIODevice::WriteOnly);
        const QByteArray bytes = makePage(day, records);
        pageBytes += bytes.size();
        page.write(bytes);
    }
    StaticServer server;
    if (!server.start(www.path(), work.path())) {
        std::fprintf(stderr, "no web server could be started on 127.0.0.1\n");
        return 1;
    }
    std::printf("%d daily pages of %d records (%.1f MB) served by %s; files in %s\n", dayCount, records,
                pageBytes / 1e6, qPrintable(server.name()), qPrintable(QFileInfo(templateIn(s_base)).path()));

    // The floor: curl in one process for all addresses, then the minimal
    // writer. Run before and after the download, since the cost of syncing
    // on a shared disk drifts; the ratio takes their mean.
    struct Floor
    {
        double fetch = 0;
        double write = 0;
        QByteArray digest;
    };
    auto runFloor = [&](Floor &floor) {
        Place place;
        QTemporaryDir fetched(templateIn(s_base));
        QFile config(work.path() + QStringLiteral("/curl.conf"));
        config.open(QIODevice::WriteOnly);
        for (const QDate &day : days) {
            const QString name = StatusPage::pageUrl(QString(), day);
            config.write(QStringLiteral("url = \"%1%2\"\noutput = \"%3/%2\"\n")
                             .arg(server.url(), name, fetched.path())
                             .toLocal8Bit());
        }
        config.close();
        QElapsedTimer timer;
        timer.start();
        QProcess curl;
        curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-K"), config.fileName()});
        if (!curl.waitForFinished(600000) || curl.exitCode() != 0) {
            std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
            return false;
        }
        floor.fetch = timer.nsecsElapsed() / 1e9;
        timer.restart();
        writeFloor(fetched.path(), days, place.dir.path());
        floor.write = timer.nsecsElapsed() / 1e9;
        floor.digest = dataDigest(place.dir.path());
        return true;
    };

    Floor before;
    if (!runFloor(before))
        return 1;

    // The program's download, on a test clock standing at noon of the last day.
    Clock::instance().setTestTime(QDateTime(last, QTime(12, 0)));
    QString log;
    QByteArray digest;
    qlonglong fileCount = 0;
    const double peakBefore = peakMegabytes();
    double ours = 0;
    {
        Place program;
        ours = download(server.url(), StatusPage::dateText(first), &log);
        const QString stored = SettingsStore::get(QStringLiteral("Date"), QStringLiteral("Update"));
        if (stored != StatusPage::dateText(last.addDays(1)) || !log.endsWith(QStringLiteral("完了\n"))) {
            std::fprintf(stderr, "the download did not reach the last day: stored %s\n", qPrintable(stored));
            return 1;
        }
        digest = dataDigest(program.dir.path());
        fileCount = QDir(program.dir.path() + QStringLiteral("/data")).entryList(QDir::Files).size();
    }
    const double peakAfter = peakMegabytes();

    Floor after;
    if (!runFloor(after))
        return 1;
    const double floorSeconds = (before.fetch + before.write + after.fetch + after.write) / 2;
    const bool same = digest == before.digest && digest == after.digest;

    std::printf("download by Form_Update:   %.3f s\n", ours);
    std::printf("floor (curl + writer):     %.3f s before (curl %.3f s, writer %.3f s), %.3f s after "
                "(curl %.3f s, writer %.3f s)\n",
                before.fetch + before.write, before.fetch, before.write, after.fetch + after.write, after.fetch,
                after.write);
    std::printf("ratio:                     %.2f against their mean (target at most 1.5)\n", ours / floorSeconds);
    std::printf("update-state files alike:  %s (%lld files)\n", same ? "yes" : "NO", fileCount);
    std::printf("log lines:                 %lld\n", qlonglong(log.count(QLatin1Char('\n'))));
    std::printf("peak memory:               %.1f MB after the download (%.1f MB before it)\n", peakAfter,
                peakBefore);

    // A stalled request on the real clock: the wait should sleep in the event loop.
    QTcpServer stall;
    stall.listen(QHostAddress::LocalHost, 0);
    QList<QTcpSocket *> held;
    QObject::connect(&stall, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = stall.nextPendingConnection())
            held.append(socket);
    });
    Clock::instance().useSystemTime();
    Place waiting;
    double cpuAtStart = 0;
    double cpuStalled = -1;
    QTimer::singleShot(0, [&] { cpuAtStart = cpuSeconds(); });
    QTimer::singleShot(stallSeconds * 1000, [&] {
        cpuStalled = cpuSeconds() - cpuAtStart;
        // End the wait by its own time-out, without waiting five minutes.
        Clock::instance().setTestTime(QDateTime::currentDateTime());
        Clock::instance().advance(300);
    });
    QString stallLog;
    download(QStringLiteral("http://127.0.0.1:%1/").arg(stall.serverPort()),
             StatusPage::dateText(QDate::currentDate()), &stallLog);
    std::printf("stalled wait of %d s:       %.3f s of processor time (target under 0.2 s); log: %s\n",
                stallSeconds, cpuStalled, qPrintable(stallLog.simplified()));
    return same ? 0 : 1;
}
