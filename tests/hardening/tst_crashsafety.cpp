#include "savecases.h"

#include "platform/runerror.h"
#include "testenv.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QStorageInfo>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

using SaveCases::Kind;

Q_DECLARE_METATYPE(SaveCases::Kind)

namespace {

// The directory the file of a kind lives in.
QString dirFor(Kind kind, const QString &appDir)
{
    return kind == Kind::UpdateState || kind == Kind::UpdatePage ? appDir + QStringLiteral("/data") : appDir;
}

bool isOldOrNew(Kind kind, const QString &appDir, QString &found)
{
    try {
        found = SaveCases::readBack(kind, appDir);
    } catch (const RunError &error) {
        found = QStringLiteral("failure ") + QString::number(error.number());
        return false;
    }
    return found == SaveCases::expected(kind, 0) || found == SaveCases::expected(kind, 1);
}

void addKinds()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("pages.udf") << Kind::Pages << QStringLiteral("pages.udf");
    QTest::newRow("url.dat") << Kind::Url << QStringLiteral("url.dat");
    QTest::newRow("update state") << Kind::UpdateState << QStringLiteral("iud");
}

#ifdef Q_OS_LINUX
// A tmpfs of 64 KiB mounted for the test's lifetime: a disk that really fills.
class SmallDisk
{
public:
    SmallDisk()
    {
        if (::geteuid() == 0 && m_dir.isValid())
            m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
#endif

// Runs the builder in a process of its own; killAfter >= 0 kills it that
// many milliseconds into the build unless it has ended. True when it was
// killed; took is how long the build ran.
bool buildIn(const QString &dir, int killAfter = -1, int *took = nullptr)
{
    QProcess writer;
    writer.start(QStringLiteral(SAVEWRITER_PATH), {dir, QStringLiteral("build")});
    if (!writer.waitForStarted() || !writer.waitForReadyRead(60000))
        return false;
    QElapsedTimer timer;
    timer.start();
    if (killAfter < 0 || writer.waitForFinished(killAfter)) {
        writer.waitForFinished(120000);
        if (took)
            *took = int(timer.elapsed()) + 1;
        return false;
    }
    writer.kill();
    writer.waitForFinished(30000);
    // A kill on the way out, after the build was done, interrupted nothing.
    return !writer.readAllStandardOutput().contains("built");
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
    void killedWhileSaving_data()
    {
        addKinds();
        QTest::newRow("update states of a page") << Kind::UpdatePage << QStringLiteral("page");
    }
    void killedWhileSaving();
    void fullDisk_data() { addKinds(); }
    void fullDisk();
    void readOnlyDirectory_data() { addKinds(); }
    void readOnlyDirectory();
    void killedWhileBuilding();
};

void TestCrashSafety::killedWhileSaving()
{
    QFETCH(Kind, kind);
    QFETCH(QString, name);

    TestEnv env;
    QDir().mkpath(dirFor(kind, env.dir()));
    SaveCases::save(kind, env.dir(), 0);
    const QStringList before = QDir(dirFor(kind, env.dir())).entryList(QDir::Files | QDir::Hidden);

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    constexpr int kKills = 60;
    int mid = 0; // kills after some saves and before the writer's last line was read
    for (int kill = 0; kill < kKills; ++kill) {
        QProcess writer;
        writer.start(QStringLiteral(SAVEWRITER_PATH), {env.dir(), name});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        // Kill once a random number of saves (none to a few) are reported;
        // the writer is then somewhere in its next save.
        const int saves = int(random.bounded(0, 4));
        int seen = 0;
        while (seen < saves) {
            if (!writer.canReadLine())
                QVERIFY2(writer.waitForReadyRead(30000), "the writer reported no save");
            while (writer.canReadLine() && seen < saves) {
                writer.readLine();
                ++seen;
            }
        }
        writer.kill();
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        mid += saves > 0 ? 1 : 0;

        QString found;
        QVERIFY2(isOldOrNew(kind, env.dir(), found),
                 qPrintable(QStringLiteral("kill %1 (seed %2) left: %3").arg(kill).arg(seed).arg(found.left(200))));
    }
    QVERIFY(mid > 0);

    // A writer killed mid-save may leave its temporary file, never a second
    // copy under the file's own name.
    const QStringList after = QDir(dirFor(kind, env.dir())).entryList(QDir::Files | QDir::Hidden);
    const QStringList leftOver = QSet<QString>(after.begin(), after.end()).subtract(QSet<QString>(before.begin(), before.end())).values();
    if (!leftOver.isEmpty())
        qInfo("temporary files left by %d kills: %s", kKills, qPrintable(leftOver.join(QLatin1Char(' '))));
    // And the next save still works over whatever was left.
    SaveCases::save(kind, env.dir(), 1);
    QCOMPARE(SaveCases::readBack(kind, env.dir()), SaveCases::expected(kind, 1));
}

void TestCrashSafety::fullDisk()
{
    QFETCH(Kind, kind);
#ifdef Q_OS_LINUX
    SmallDisk disk;
    if (!disk.mounted())
        QSKIP("mounting a small tmpfs needs root");
    const QString appDir = disk.path();
    QDir().mkpath(dirFor(kind, appDir));
    SaveCases::save(kind, appDir, 0);

    // Fill what is left, a block at a time, until the disk refuses.
    QFile filler(appDir + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    QCOMPARE(QStorageInfo(appDir).bytesAvailable(), 0);

    try {
        SaveCases::save(kind, appDir, 1);
        QFAIL("saved on a full disk");
    } catch (const RunError &error) {
        QCOMPARE(error.number(), int(RunError::DiskFull));
        QVERIFY2(error.reason().contains(QLatin1String("61")), qPrintable(error.reason()));
    }
    QCOMPARE(SaveCases::readBack(kind, appDir), SaveCases::expected(kind, 0));
    // Nothing half-written stays behind to hold the space.
    QStringList entries = QDir(dirFor(kind, appDir)).entryList(QDir::Files | QDir::Hidden);
    entries.removeAll(QStringLiteral("filler"));
    QCOMPARE(entries.size(), 1);

    // Once there is room again, the same save goes through.
    QVERIFY(filler.remove());
    SaveCases::save(kind, appDir, 1);
    QCOMPARE(SaveCases::readBack(kind, appDir), SaveCases::expected(kind, 1));
#else
    QSKIP("a small disk is mounted on Linux only");
#endif
}

void TestCrashSafety::readOnlyDirectory()
{
    QFETCH(Kind, kind);

    TestEnv env;
    const QString dir = dirFor(kind, env.dir());
    QDir().mkpath(dir);
    SaveCases::save(kind, env.dir(), 0);
    {
        ReadOnlyDir readOnly(dir);
        try {
            SaveCases::save(kind, env.dir(), 1);
            QFAIL("saved into a read-only directory");
        } catch (const RunError &error) {
            QCOMPARE(error.number(), int(RunError::PermissionDenied));
        }
    }
    QCOMPARE(SaveCases::readBack(kind, env.dir()), SaveCases::expected(kind, 0));
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// A build killed at any moment leaves both inputs, and the next build gives
// what an uninterrupted one gives.
void TestCrashSafety::killedWhileBuilding()
{
    constexpr int kSites = 400;
    QString allInfo = QStringLiteral("2000/05/20\r\n2\r\n1\r\n%1\r\n%2\r\n0,Top\r\n1,Music\r\n2,Jazz\r\n\"<END>\"\r\n"
                                     "0,1\r\n1,2\r\n\"<END>\"\r\n")
                          .arg(kSites - 1)
                          .arg(2 * kSites - 1);
    QString assignments, update = QStringLiteral("2000/05/21\r\n");
    for (int n = 1; n <= kSites; ++n) {
        allInfo += QStringLiteral("%1,ジャズ館 %1,説明 %1,http://example.test/%1/\r\n").arg(n);
        assignments += QStringLiteral("%1,2\r\n%1,1\r\n").arg(n);
        update += QStringLiteral("%1,#2000/05/18 21:04:33#,#2000/05/20#,%2\r\n").arg(n).arg(n % 4 + 1);
    }
    allInfo += QStringLiteral("\"<END>\"\r\n") + assignments + QStringLiteral("\"<END>\"\r\n");
    auto deliver = [&](const TestEnv &env) {
        env.writeText(QStringLiteral("all-info.idf"), allInfo);
        env.writeText(QStringLiteral("update.idf"), update);
    };

    TestEnv reference;
    deliver(reference);
    int duration = 0;
    QVERIFY(!buildIn(reference.dir(), -1, &duration));
    const QMap<QString, QByteArray> built = contents(reference.dir());
    QVERIFY(built.contains(QStringLiteral("/data/000400.iud")) && !built.contains(QStringLiteral("/update.idf")));

    TestEnv env;
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    int killed = 0;
    for (int round = 0; round < 6; ++round) {
        deliver(env);
        if (buildIn(env.dir(), int(random.bounded(duration)))) {
            ++killed;
            QVERIFY2(env.exists(QStringLiteral("all-info.idf")) && env.exists(QStringLiteral("update.idf")),
                     qPrintable(QStringLiteral("round %1 (seed %2)").arg(round).arg(seed)));
        }
        QVERIFY(!buildIn(env.dir()));
        QVERIFY2(contents(env.dir()) == built, qPrintable(QStringLiteral("round %1 (seed %2)").arg(round).arg(seed)));
    }
    QVERIFY(killed > 0);
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
