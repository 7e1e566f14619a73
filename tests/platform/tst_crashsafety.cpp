#include "savecases.h"

#include "platform/runerror.h"
#include "testenv.h"

#include <QDir>
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

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileSaving_data();
    void killedWhileSaving();
    void killedWhileBuilding();
    void fullDisk();
};

// Table rows are laid out by hand.
// clang-format off
void TestCrashSafety::killedWhileSaving_data()
{
    QTest::addColumn<QString>("name"); // the writer's name for the file
    for (const char *name : {"pages.udf", "url.dat", "page"})
        QTest::newRow(name) << QString::fromLatin1(name);
}
// clang-format on

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
        writer.start(QStringLiteral(SAVEWRITER_PATH), {env.dir(), name});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        // Killed after none to a few whole saves, somewhere in the next one.
        for (int saves = int(random.bounded(0, 4)); saves > 0; --saves) {
            QVERIFY2(writer.canReadLine() || writer.waitForReadyRead(30000), "the writer reported no save");
            writer.readLine();
        }
        writer.kill();
        QVERIFY(writer.waitForFinished(30000));
        const QString found = readBack(name, env.dir());
        QVERIFY2(found == old || found == fresh,
                 qPrintable(QStringLiteral("kill %1 (seed %2) left: %3").arg(kill).arg(seed).arg(found.left(200))));
    }
    SaveCases::save(name, env.dir(), 1);
    QCOMPARE(SaveCases::readBack(name, env.dir()), fresh);
}

// Runs one build there, killed after killAfter ms (never when negative); true when it was killed before it was done.
bool buildIn(const QString &dir, int killAfter, qint64 *took = nullptr)
{
    QProcess writer;
    QElapsedTimer timer;
    timer.start();
    writer.start(QStringLiteral(SAVEWRITER_PATH), {dir, QStringLiteral("build")});
    if (killAfter >= 0 && !writer.waitForFinished(killAfter))
        writer.kill();
    writer.waitForFinished(120000);
    if (took)
        *took = timer.elapsed();
    return !writer.readAllStandardOutput().contains("built");
}

// A build killed at any moment leaves both inputs, and the next build gives what an uninterrupted one gives.
void TestCrashSafety::killedWhileBuilding()
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
    const auto contents = [](const TestEnv &env) {
        QMap<QString, QByteArray> files;
        for (const QString &name : QDir(env.path("data")).entryList(QDir::Files))
            files[name] = env.readBytes("data/" + name);
        files["number.sdf"] = env.readBytes("number.sdf");
        return files;
    };
    TestEnv reference, env;
    const auto deliver = [&](const TestEnv &e) {
        e.writeText("all-info.idf", allInfo);
        e.writeText("update.idf", update);
    };
    qint64 took = 0;
    deliver(reference);
    QVERIFY(!buildIn(reference.dir(), -1, &took) && !reference.exists("update.idf"));
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
    QCOMPARE(SaveCases::readBack(QStringLiteral("pages.udf"), appDir),
             SaveCases::expected(QStringLiteral("pages.udf"), 0));
    // Nothing half-written stays behind to hold the space.
    QCOMPARE(QDir(appDir).entryList(QDir::Files | QDir::Hidden), QStringList({"filler", "pages.udf"}));
#else
    QSKIP("a small disk is mounted on Linux only");
#endif
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
