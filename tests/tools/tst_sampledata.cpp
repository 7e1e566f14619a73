#include <QFile>
#include <QTest>

class TestSampleData : public QObject
{
    Q_OBJECT

private slots:
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
