#include "platform/clock.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

class TestSampleData : public QObject
{
    Q_OBJECT

private slots:
    // The one check of the real clock's adapter, which every other test stands still.
    void systemClockTicksAndLetsGo()
    {
        Clock &clock = Clock::instance();
        clock.useSystemTime();
        const auto connection = connect(&clock, &Clock::secondChanged, this, [] {});
        QVERIFY(QSignalSpy(&clock, &Clock::secondChanged).wait(2500));
        // Letting go of the signal must not deadlock on Qt's connection lock.
        disconnect(connection);
        clock.setTestTime(QDateTime(QDate(2000, 5, 20), QTime(12, 0)));
    }

    // The url.dat that an installation starts with: an empty data URL and proxy.
    void installedUrlDat()
    {
        QFile file(URL_DAT_PATH);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "\r\n\r\n");
    }
};

QTEST_GUILESS_MAIN(TestSampleData)
#include "tst_sampledata.moc"
