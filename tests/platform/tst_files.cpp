#include "platform/files.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "remote/urlfile.h"
#include "store/builder.h"
#include "testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
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

// What readBack gives after a whole save.
QString expected(const QString &name, int version)
{
    return name == "url.dat" ? urlOf(version) : QString();
}

// A step of the file system that must fail.
using Step = std::function<void(const TestEnv &env)>;

} // namespace

// The file system's failures, the replacement of files, and what a kill or a full disk leaves of it.
class TestFiles : public QObject
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
};

// Table rows are laid out by hand.
// clang-format off
void TestFiles::failures_data()
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
void TestFiles::failures()
{
    QFETCH(Step, step);
    QFETCH(int, failure);
    TestEnv env;
    try {
        step(env);
        QFAIL("no failure");
    } catch (const RunError &error) {
        QCOMPARE(error.number(), failure);
    }
    QCOMPARE(QDir(env.dir()).entryList(QDir::Files | QDir::Hidden), QStringList()); // nothing half-made stays
}

// The program directory from where the executable is reported to be: "/" separated, no "/" at its end.
void TestFiles::programDir()
{
    QCOMPARE(ProgramDir::derive("/opt/vellumark/"), "/opt/vellumark");
    QCOMPARE(ProgramDir::derive("/"), "");
}

void TestFiles::killedWhileSaving_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("url.dat, replaced") << "url.dat";
    QTest::newRow("forty files, replaced as a batch") << "batch";
}

// A writer killed at any moment leaves the old or the new file, and the next save works over what it left.
void TestFiles::killedWhileSaving()
{
    QFETCH(QString, name);
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
        QVERIFY2(found == expected(name, 0) || found == expected(name, 1),
                 qPrintable(QString("kill %1 (seed %2) left: %3").arg(kill).arg(seed).arg(found.left(200))));
    }
    save(name, env.dir(), 1);
    QCOMPARE(readBack(name, env.dir()), expected(name, 1));
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
void TestFiles::killedWhileBuilding()
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
void TestFiles::fullDisk()
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
    try {
        save("url.dat", dir.path(), 1);
        QFAIL("saved on a full disk");
    } catch (const RunError &error) {
        QCOMPARE(error.number(), int(RunError::DiskFull));
    }
    QCOMPARE(readBack("url.dat", dir.path()), urlOf(0));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"filler", "url.dat"}));
#else
    QSKIP("a small disk is mounted on Linux only");
#endif
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
    TestFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_files.moc"
