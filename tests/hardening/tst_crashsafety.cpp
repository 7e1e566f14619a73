#include "savecases.h"

#include "platform/runerror.h"
#include "testenv.h"

#include <QDir>
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

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
