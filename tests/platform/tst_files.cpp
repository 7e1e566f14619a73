#include "platform/files.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>

// A step of the file system that must fail.
using Step = std::function<void(const TestEnv &env)>;

class TestFiles : public QObject
{
    Q_OBJECT

private slots:
    void failures_data();
    void failures();
    void batch();
    void programDir_data();
    void programDir();
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

// A batch changes no target before its commit, a later content wins, and it may be committed again and again;
// nothing of it stays but the targets.
void TestFiles::batch()
{
    TestEnv env;
    env.writeBytes("a", "old a");
    {
        Files::ReplaceBatch batch;
        batch.add(env.path("a"), "first a");
        batch.add(env.path("b"), "b");
        batch.add(env.path("a"), "second a");
        QCOMPARE(env.readBytes("a"), "old a");
        QVERIFY(!env.exists("b"));
        batch.commit();
        QCOMPARE(env.readBytes("a"), "second a");
        QCOMPARE(env.readBytes("b"), "b");
        batch.add(env.path("a"), "third, longer a");
        batch.add(env.path("b"), "");
        batch.commit();
        batch.add(env.path("b"), "never committed");
    }
    QCOMPARE(env.textFiles(), (QMap<QString, QStringList>{{"a", {"third, longer a"}}, {"b", {}}}));
}

// The program directory from where the executable is reported to be: "/" separated, no "/" at its end.
// clang-format off
void TestFiles::programDir_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("appDir");
    QTest::newRow("a slash at the end") << "/opt/vellumark/" << "/opt/vellumark";
    QTest::newRow("the root") << "/" << "";
}
// clang-format on

void TestFiles::programDir()
{
    QFETCH(QString, reported);
    QFETCH(QString, appDir);
    QCOMPARE(ProgramDir::derive(reported), appDir);
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
