#include "platform/clock.h"
#include "platform/files.h"
#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QTest>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void settingsKeepTextValues();
    void clockMovesOnlyWhenTold();
    void systemClockTicksAndLetsGo();
    void fileFailures_data();
    void fileFailures();
};

void TestPlatform::settingsKeepTextValues()
{
    TestEnv env;
    QCOMPARE(SettingsStore::get("Date", "Update"), QString());
    QCOMPARE(SettingsStore::get("Date", "Update", "none"), QStringLiteral("none"));
    SettingsStore::save("Date", "Update", "2000/05/20");
    SettingsStore::save("Date", "MakeFile", "２０００年 5月, 第1版");
    QCOMPARE(SettingsStore::get("Date", "Update"), QStringLiteral("2000/05/20"));
    QCOMPARE(SettingsStore::get("Date", "MakeFile"), QStringLiteral("２０００年 5月, 第1版"));
    QCOMPARE(env.setting("Date", "Update"), QStringLiteral("2000/05/20")); // on disk for the next run
}

void TestPlatform::clockMovesOnlyWhenTold()
{
    TestEnv env;
    Clock &clock = Clock::instance();
    clock.setTestTime(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)));
    QSignalSpy changes(&clock, &Clock::secondChanged);
    QCOMPARE(clock.secondsSinceMidnight(), 86398);
    clock.advance(3);
    QCOMPARE(changes.count(), 3);
    QCOMPARE(clock.today(), QDate(2000, 1, 1));
    QCOMPARE(clock.secondsSinceMidnight(), 1);
    QCOMPARE(Clock::addDays(QDate(2000, 2, 28), 1), QDate(2000, 2, 29));
}

void TestPlatform::systemClockTicksAndLetsGo()
{
    Clock &clock = Clock::instance();
    clock.useSystemTime();
    QObject listener;
    const auto connection = connect(&clock, &Clock::secondChanged, &listener, [] {});
    QSignalSpy changes(&clock, &Clock::secondChanged);
    QVERIFY(changes.wait(2500));
    // Letting go of the signal must not deadlock on Qt's connection lock.
    disconnect(connection);
    clock.setTestTime(QDateTime(QDate(2000, 5, 20), QTime(12, 0)));
}

void TestPlatform::fileFailures_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("expected");
    QTest::newRow("remove a missing file") << "remove" << 53;
    QTest::newRow("directory in a missing one") << "mkdir" << 76;
    QTest::newRow("directory that exists") << "mkdir-again" << 75;
}

void TestPlatform::fileFailures()
{
    QFETCH(QString, operation);
    QFETCH(int, expected);
    TestEnv env;
    env.makeDir("there");
    try {
        if (operation == "remove")
            Files::remove(env.path("none.txt"));
        else if (operation == "mkdir")
            Files::makeDir(env.path("a/b"));
        else
            Files::makeDir(env.path("there"));
        QFAIL("no failure");
    } catch (const RunError &error) {
        QCOMPARE(error.number(), expected);
    }
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
