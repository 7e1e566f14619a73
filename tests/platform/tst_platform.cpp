#include "platform/files.h"
#include "platform/inet.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/schedule.h"
#include "platform/settingsstore.h"
#include "remote/urlfile.h"
#include "servers.h"
#include "store/builder.h"
#include "testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTest>

#include <cstdio>
#include <functional>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {

// An old and a new content. They differ in size, so that a torn save cannot pass for either.
QString urlOf(int version)
{
    return version == 0 ? "http://127.0.0.1:8080/daily/" : "http://example.test/" + QString(3000, 'x') + '/';
}

// Saves url.dat through its writer, or forty files replaced as one batch, as a daily page's states are.
void save(const QString &name, const QString &dir, int version)
{
    if (name == "url.dat")
        return UrlFile::write(dir, urlOf(version), QString());
    Files::ReplaceBatch batch;
    // Twice in one batch, and each file twice before a commit: the later content wins, no target changes before
    // the commit, and the second round reuses what the first replaced.
    for (int round = 0; round < 2; ++round) {
        for (int n = 1; n <= 40; ++n) {
            batch.add(QString("%1/%2.dat").arg(dir).arg(n), "stale");
            batch.add(QString("%1/%2.dat").arg(dir).arg(n), urlOf(version).toUtf8());
        }
        batch.commit();
    }
}

// What the program reads back: url.dat's address, or the batch's files that are neither old nor new; or the
// failure reading throws.
QString readBack(const QString &name, const QString &dir)
{
    try {
        if (name == "url.dat") {
            UrlFile::Values values;
            UrlFile::read(dir, values);
            return values.url;
        }
        QString torn;
        for (int n = 1; n <= 40; ++n) {
            const QString text = QString::fromUtf8(Files::readAll(QString("%1/%2.dat").arg(dir).arg(n)));
            if (text != urlOf(0) && text != urlOf(1))
                torn += QString::number(n) + ' ';
        }
        return torn;
    } catch (const RunError &error) {
        return "failure " + QString::number(error.number());
    }
}

// A step of the file system that must fail.
using Step = std::function<void(const TestEnv &env)>;

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
    QString body, piece;
    while (!(piece = inet.GetChunk(1024, Inet::icString)).isEmpty())
        body += piece;
    return inet.GetHeader().section("\r\n", 0, 0) + '\n' + body;
}

FaultServer::Handler page(const QByteArray &body, const QByteArray &contentType = "text/html")
{
    return FaultServer::reply(httpResponse("200 OK", body, contentType));
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// src/platform at its seams: the file system's failures, the replacement of files and what a kill or a full
// disk leaves of it; the HTTP transfer against a server that answers as it is told; the daily schedule in a
// temporary home, with a stand-in systemctl on the path that records its arguments and answers as a user
// manager would.
class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void failures_data();
    void failures();
    void programDir();
    void killedWhileSaving_data();
    void killedWhileSaving();
    void killedWhileBuilding();
    void fullDisk();
    void transfer_data();
    void transfer();
    void switching();
    void units_data();
    void units();

private:
    void makeHome();
    QString calls() const;

    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_path = qgetenv("PATH");
};

// Table rows are laid out by hand.
// clang-format off
void TestPlatform::failures_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<int>("failure");
    QTest::newRow("read a missing file") << Step([](const TestEnv &env) { Files::readAll(env.path("none")); })
                                         << int(RunError::FileNotFound);
    QTest::newRow("read in a missing directory") << Step([](const TestEnv &env) { Files::readAll(env.path("none/x")); })
                                                 << int(RunError::PathNotFound);
    QTest::newRow("write in a read-only directory") << Step([](const TestEnv &env) {
        ReadOnlyDir readOnly(env.dir());
        QFile file(env.path("new"));
        Files::openWrite(file);
    }) << int(RunError::PermissionDenied);
    QTest::newRow("replace a directory") << Step([](const TestEnv &env) { Files::ReplaceBatch().add(env.dir(), "x"); })
                                         << int(RunError::PathFileAccess);
}
// clang-format on

// Each failure of the file system comes out as the number the windows report.
void TestPlatform::failures()
{
    QFETCH(Step, step);
    QFETCH(int, failure);
    TestEnv env;
    QCOMPARE(failureOf([&] { step(env); }), failure);
    QCOMPARE(QDir(env.dir()).entryList(QDir::Files | QDir::Hidden), QStringList()); // nothing half-made stays
}

// The program directory from where the executable is reported to be: "/" separated, no "/" at its end.
void TestPlatform::programDir()
{
    QCOMPARE(ProgramDir::derive("/opt/vellumark/"), "/opt/vellumark");
    QCOMPARE(ProgramDir::derive("/"), "");
}

void TestPlatform::killedWhileSaving_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("url.dat, replaced") << "url.dat";
    QTest::newRow("forty files, replaced as a batch") << "batch";
}

// A writer killed at any moment leaves the old or the new file, and the next save works over what it left.
void TestPlatform::killedWhileSaving()
{
    QFETCH(QString, name);
    // What readBack gives after a whole old or new save.
    const QStringList whole = name == "url.dat" ? QStringList{urlOf(0), urlOf(1)} : QStringList{"", ""};
    TestEnv env;
    save(name, env.dir(), 0);
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int kill = 0; kill < 40; ++kill) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {"save", env.dir(), name});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        // Killed after none to a few whole saves, somewhere in the next one.
        for (int saves = int(random.bounded(0, 4)); saves > 0; --saves) {
            QVERIFY2(writer.canReadLine() || writer.waitForReadyRead(30000), "the writer reported no save");
            writer.readLine();
        }
        writer.kill();
        QVERIFY(writer.waitForFinished(30000));
        const QString found = readBack(name, env.dir());
        QVERIFY2(whole.contains(found),
                 qPrintable(QString("kill %1 (seed %2) left: %3").arg(kill).arg(seed).arg(found.left(200))));
    }
    save(name, env.dir(), 1);
    QCOMPARE(readBack(name, env.dir()), whole[1]);
}

// Runs one build there, killed after killAfter ms (never when negative); true when it was killed before it was done.
bool buildIn(const QString &dir, int killAfter)
{
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(), {"build", dir});
    if (killAfter >= 0 && !writer.waitForFinished(killAfter))
        writer.kill();
    writer.waitForFinished(120000);
    return !writer.readAllStandardOutput().contains("built");
}

// A build killed at any moment leaves both inputs, and the next build gives what an uninterrupted one gives.
void TestPlatform::killedWhileBuilding()
{
    QString allInfo =
        "2000/05/20\r\n2\r\n1\r\n399\r\n799\r\n0,Top\r\n1,Music\r\n2,Jazz\r\n<END>\r\n0,1\r\n1,2\r\n<END>\r\n";
    QString sections, update = "2000/05/21\r\n";
    for (int n = 1; n <= 400; ++n) {
        allInfo += QString("%1,ジャズ館 %1,説明 %1,http://example.test/%1/\r\n").arg(n);
        sections += QString("%1,2\r\n%1,1\r\n").arg(n);
        update += QString("%1,#2000/05/18 21:04:33#,#2000/05/20#,%2\r\n").arg(n).arg(n % 4 + 1);
    }
    allInfo += "<END>\r\n" + sections + "<END>\r\n";
    const auto deliver = [&](const TestEnv &env) {
        env.writeText("all-info.idf", allInfo);
        env.writeText("update.idf", update);
    };
    const auto contents = [](const TestEnv &env) {
        return std::pair(env.textFiles("data"), env.readBytes("number.sdf"));
    };
    TestEnv reference, env;
    deliver(reference);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!buildIn(reference.dir(), -1) && !reference.exists("update.idf"));
    const qint64 took = timer.elapsed();
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int round = 0; round < 6; ++round) {
        deliver(env);
        if (buildIn(env.dir(), int(random.bounded(took + 1)))) {
            QVERIFY2(env.exists("all-info.idf") && env.exists("update.idf"), qPrintable(QString::number(seed)));
            QVERIFY(!buildIn(env.dir(), -1));
        }
        QVERIFY2(contents(env) == contents(reference), qPrintable(QString::number(seed)));
    }
}

// A save on a full disk says so and leaves the old file, and nothing half-written that holds the space.
void TestPlatform::fullDisk()
{
#ifdef Q_OS_LINUX
    // A tmpfs of 64 KiB: a disk that really fills.
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a small tmpfs needs root");
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    save("url.dat", dir.path(), 0);
    QFile filler(dir.filePath("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    QCOMPARE(QStorageInfo(dir.path()).bytesAvailable(), 0);
    QCOMPARE(failureOf([&] { save("url.dat", dir.path(), 1); }), int(RunError::DiskFull));
    QCOMPARE(readBack("url.dat", dir.path()), urlOf(0));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"filler", "url.dat"}));
#else
    QSKIP("a small disk is mounted on Linux only");
#endif
}

// Table rows are laid out by hand.
// clang-format off
void TestPlatform::transfer_data()
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
    QTest::newRow("chunks short of the declared length") << FaultServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n"
        "Transfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n0\r\n\r\n") << "failure: RESET";
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
void TestPlatform::transfer()
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

// A home of the schedule's own, with the stand-in systemctl first on the path.
void TestPlatform::makeHome()
{
    m_home = std::make_unique<QTemporaryDir>();
    QDir(m_home->path()).mkpath("bin");
    qputenv("HOME", m_home->filePath("home").toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    qputenv("PATH", m_home->filePath("bin").toUtf8() + ':' + m_path);
    QFile script(m_home->filePath("bin/systemctl"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"$*\" >> '" + m_home->filePath("calls").toUtf8()
                 + "'\n[ \"$2\" = show ] && echo 'Wed 2000-05-21 00:31:07 JST'\nexit 0\n");
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString TestPlatform::calls() const
{
    QString text = readText(m_home->filePath("calls")).trimmed();
    QFile::remove(m_home->filePath("calls"));
    return text.replace('\n', '|');
}

// Two program directories switched on and off in turn: the units written before the manager is asked (the
// next login takes them in), everything of one gone once it is off, its timer's stored state too.
void TestPlatform::switching()
{
    makeHome();
    const QString config = m_home->filePath("home/.config/systemd/user/");
    const QString stamps = m_home->filePath("home/.local/share/systemd/timers/stamp-");
    const QHash<QString, QString> dirs{{"A", m_home->filePath("demo")}, {"B", m_home->filePath("install")}};
    // A. and B. stand for the units of the two; each step's message or status, then systemctl's calls.
    // clang-format off
    const QList<std::pair<QString, QString>> steps = {
        {"status A", "off  []"},
        {"on A",     "毎日の自動確認を入れました。 [--user daemon-reload|--user start A.timer]"},
        {"on B",     "毎日の自動確認を入れました。 [--user daemon-reload|--user start B.timer]"},
        {"status A", "on Wed 2000-05-21 00:31:07 JST [--user show A.timer --property=NextElapseUSecRealtime --value]"},
        {"off A",    "毎日の自動確認を切りました。 [--user stop A.timer|--user daemon-reload]"},
        {"status A", "off  []"},
        {"status B", "on Wed 2000-05-21 00:31:07 JST [--user show B.timer --property=NextElapseUSecRealtime --value]"}};
    // clang-format on
    for (const auto &[step, outcome] : steps) {
        const QString dir = dirs.value(step.section(' ', 1));
        const QString name = Schedule::unitName(dir);
        const QString wants = config + "timers.target.wants/" + name + ".timer";
        QString text;
        if (step.startsWith("on")) {
            text = Schedule::switchOn(dir, "/opt/vellumark/vellumark").message;
            QVERIFY(QFileInfo::exists(config + name + ".service"));
            QCOMPARE(QFileInfo(wants).symLinkTarget(), config + name + ".timer");
        } else if (step.startsWith("off")) {
            QDir().mkpath(QFileInfo(stamps).path());
            QVERIFY(QFile(stamps + name + ".timer").open(QIODevice::WriteOnly));
            text = Schedule::switchOff(dir).message;
            for (const QString &gone :
                 {config + name + ".service", config + name + ".timer", wants, stamps + name + ".timer"})
                QVERIFY2(!QFileInfo::exists(gone) && !QFileInfo(gone).isSymLink(), qPrintable(gone));
        } else {
            const Schedule::Status status = Schedule::status(dir);
            text = QString(status.on ? "on " : "off ") + status.nextRun;
        }
        QCOMPARE(text + " [" + calls() + "]",
                 QString(outcome)
                     .replace("A.", Schedule::unitName(dirs["A"]) + ".")
                     .replace("B.", Schedule::unitName(dirs["B"]) + "."));
    }
}

void TestPlatform::units_data()
{
    QTest::addColumn<QString>("program"); // under the temporary directory
    QTest::addColumn<QString>("execStart"); // empty: refused

    // clang-format off
    QTest::newRow("blank, specifier") << "my 100%/vellumark" << "\"@/my 100%%/vellumark\" --download";
    QTest::newRow("quote")            << "a\"b/vellumark"    << "";
    QTest::newRow("line end")         << "a\nb/vellumark"     << "";
    // clang-format on
}

// The units as systemd reads them: verified and the timer's calendar checked
// where systemd is installed.
void TestPlatform::units()
{
    QFETCH(QString, program);
    QFETCH(QString, execStart);
    makeHome();

    const QString path = m_home->filePath(program);
    QDir().mkpath(QFileInfo(path).path());
    QFile::copy(QStandardPaths::findExecutable("true"), path);
    const QString units = m_home->filePath("home/.config/systemd/user/") + Schedule::unitName(m_home->filePath("demo"));
    // systemd would refuse to run such a name: nothing is written.
    QCOMPARE(Schedule::switchOn(m_home->filePath("demo"), path).ok, !execStart.isEmpty());
    const QString service = readText(units + ".service");
    QCOMPARE(service.section("\nExecStart=", 1).section('\n', 0, 0), execStart.replace("@", m_home->path()));
    if (execStart.isEmpty())
        return;
    const QString timer = readText(units + ".timer");
    QCOMPARE(timer.section("\n[Timer]\n", 1),
             "OnCalendar=daily\nPersistent=true\nRandomizedDelaySec=1h\n\n[Install]\nWantedBy=timers.target\n");

    const QString systemdAnalyze = QStandardPaths::findExecutable("systemd-analyze");
    if (systemdAnalyze.isEmpty())
        QSKIP("systemd-analyze is not installed (scripts/deps.sh test installs it)");
    QTemporaryDir runtime; // systemd-analyze wants a runtime directory of the user's, as this one is
    QProcess verify;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.insert("PATH", m_path);
    verify.setProcessEnvironment(environment);
    verify.start(systemdAnalyze, {"verify", "--user", units + ".service", units + ".timer"});
    QVERIFY(verify.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(verify.readAllStandardError()), QString());
    QCOMPARE(verify.exitCode(), 0);
    verify.start(systemdAnalyze, {"calendar", timer.section("\nOnCalendar=", 1).section('\n', 0, 0)});
    QVERIFY(verify.waitForFinished(60000));
    QCOMPARE(verify.exitCode(), 0);
}

// Run with "save <directory> url.dat|batch", the test is the writer the test kills: it saves the file over and
// over, old and new in turn, and reports each whole save on a line. With "build <directory>" it builds the
// data files there once and says "built".
int main(int argc, char **argv)
{
    const QByteArray mode = argc > 2 ? argv[1] : "";
    const QString dir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (mode == "build") {
        SettingsStore::useFile(dir + "/settings.ini");
        DataFileBuilder().BuildDataFiles(dir);
        std::printf("built\n");
        std::fflush(stdout);
        return 0;
    }
    if (mode == "save" && argc == 4) {
        // Bounded, so that a test that dies first leaves no writer behind for long.
        for (int n = 1; n <= 20000; ++n) {
            save(QString::fromLocal8Bit(argv[3]), dir, n % 2);
            std::printf("%d\n", n);
            std::fflush(stdout);
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
