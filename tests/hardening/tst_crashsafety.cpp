#include "savecases.h"

#include "platform/runerror.h"
#include "testenv.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {

// The directory the file lives in.
QString dirFor(const QString &name, const QString &appDir)
{
    return name == QLatin1String("page") ? appDir + QStringLiteral("/data") : appDir;
}

// What the program reads back, or the failure it throws.
QString readBack(const QString &name, const QString &appDir)
{
    try {
        return SaveCases::readBack(name, appDir);
    } catch (const RunError &error) {
        return QStringLiteral("failure ") + QString::number(error.number());
    }
}

// Starts the writer process: "build" builds the data files once, a file's name saves it over and over.
void start(QProcess &writer, const QString &dir, const QString &what)
{
    writer.start(QStringLiteral(SAVEWRITER_PATH), {dir, what});
    QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
}

// Every file of the program directory and of data/, with its bytes.
QMap<QString, QByteArray> contents(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        files[file.fileName().mid(dir.size())] = file.open(QIODevice::ReadOnly) ? file.readAll() : "unreadable";
    }
    return files;
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileSaving_data();
    void killedWhileSaving();
    void fullDisk();
    void killedWhileBuilding();
};

void TestCrashSafety::killedWhileSaving_data()
{
    QTest::addColumn<QString>("name"); // the writer's name for the file
    for (const char *name : {"pages.udf", "page"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// A writer killed at any moment leaves the old or the new file, and the next save works over what it left.
void TestCrashSafety::killedWhileSaving()
{
    QFETCH(QString, name);
    TestEnv env;
    QDir().mkpath(dirFor(name, env.dir()));
    SaveCases::save(name, env.dir(), 0);
    const QString old = SaveCases::expected(name, 0), fresh = SaveCases::expected(name, 1);
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int kill = 0; kill < 40; ++kill) {
        QProcess writer;
        start(writer, env.dir(), name);
        // Killed after none to a few whole saves, somewhere in the next one.
        for (int saves = int(random.bounded(0, 4)); saves > 0; --saves) {
            QVERIFY2(writer.canReadLine() || writer.waitForReadyRead(30000), "the writer reported no save");
            writer.readLine();
        }
        writer.kill();
        QVERIFY(writer.waitForFinished(30000));
        const QString found = readBack(name, env.dir());
        QVERIFY2(found == old || found == fresh, qPrintable(QStringLiteral("kill %1 (seed %2) left: %3")
                                                                .arg(kill).arg(seed).arg(found.left(200))));
    }
    SaveCases::save(name, env.dir(), 1);
    QCOMPARE(SaveCases::readBack(name, env.dir()), fresh);
}

void TestCrashSafety::fullDisk()
{
#ifdef Q_OS_LINUX
    // A tmpfs of 64 KiB: a disk that really fills.
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a small tmpfs needs root");
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    const QString appDir = dir.path();
    SaveCases::save(QStringLiteral("pages.udf"), appDir, 0);
    QFile filler(appDir + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    QCOMPARE(QStorageInfo(appDir).bytesAvailable(), 0);
    try {
        SaveCases::save(QStringLiteral("pages.udf"), appDir, 1);
        QFAIL("saved on a full disk");
    } catch (const RunError &error) {
        QCOMPARE(error.number(), int(RunError::DiskFull));
    }
    QCOMPARE(SaveCases::readBack(QStringLiteral("pages.udf"), appDir), SaveCases::expected(QStringLiteral("pages.udf"), 0));
    // Nothing half-written stays behind to hold the space.
    QCOMPARE(QDir(appDir).entryList(QDir::Files | QDir::Hidden), QStringList({"filler", "pages.udf"}));
#else
    QSKIP("a small disk is mounted on Linux only");
#endif
}

// A build killed at any moment leaves both inputs, and the next build gives what an uninterrupted one gives.
void TestCrashSafety::killedWhileBuilding()
{
    constexpr int kSites = 400;
    QString allInfo = QStringLiteral("2000/05/20\r\n2\r\n1\r\n%1\r\n%2\r\n0,Top\r\n1,Music\r\n2,Jazz\r\n\"<END>\"\r\n"
                                     "0,1\r\n1,2\r\n\"<END>\"\r\n").arg(kSites - 1).arg(2 * kSites - 1);
    QString assignments, update = QStringLiteral("2000/05/21\r\n");
    for (int n = 1; n <= kSites; ++n) {
        allInfo += QStringLiteral("%1,ジャズ館 %1,説明 %1,http://example.test/%1/\r\n").arg(n);
        assignments += QStringLiteral("%1,2\r\n%1,1\r\n").arg(n);
        update += QStringLiteral("%1,#2000/05/18 21:04:33#,#2000/05/20#,%2\r\n").arg(n).arg(n % 4 + 1);
    }
    allInfo += QStringLiteral("\"<END>\"\r\n") + assignments + QStringLiteral("\"<END>\"\r\n");
    const auto deliver = [&](const TestEnv &env) {
        env.writeText(QStringLiteral("all-info.idf"), allInfo);
        env.writeText(QStringLiteral("update.idf"), update);
    };
    // Builds in env; killAfter >= 0 kills it that many milliseconds in. How long it ran, or -1 when killed.
    const auto build = [&](const TestEnv &env, int killAfter) {
        QProcess writer;
        start(writer, env.dir(), QStringLiteral("build"));
        writer.waitForReadyRead(60000);
        QElapsedTimer timer;
        timer.start();
        if (killAfter < 0 || writer.waitForFinished(killAfter))
            return writer.waitForFinished(120000) ? int(timer.elapsed()) + 1 : 0;
        writer.kill();
        writer.waitForFinished(30000);
        return -1;
    };

    TestEnv reference;
    deliver(reference);
    const int duration = build(reference, -1);
    const QMap<QString, QByteArray> built = contents(reference.dir());
    QVERIFY(built.contains(QStringLiteral("/data/000400.iud")) && !built.contains(QStringLiteral("/update.idf")));
    TestEnv env;
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int round = 0; round < 6; ++round) {
        const QString where = QStringLiteral("round %1 (seed %2)").arg(round).arg(seed);
        deliver(env);
        if (build(env, int(random.bounded(duration))) < 0)
            QVERIFY2(env.exists(QStringLiteral("all-info.idf")) && env.exists(QStringLiteral("update.idf")),
                     qPrintable(where));
        QVERIFY2(build(env, -1) > 0 && contents(env.dir()) == built, qPrintable(where));
    }
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
