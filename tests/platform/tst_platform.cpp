#include "platform/clock.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QTest>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void systemClockTicksAndLetsGo();
};

// The one check of the real clock's adapter; every other test stands the clock still.
void TestPlatform::systemClockTicksAndLetsGo()
{
    TestEnv env;
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

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
