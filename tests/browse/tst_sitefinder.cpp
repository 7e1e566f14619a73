#include "browse/sitefinder.h"
#include "testenv.h"

#include <QTest>

// Positions: 1 site 7, 2 site 12, 3 site 300, 4 site 44 without a file, then 600 fillers, the last one
// (position 604) titled "Last Quartet", so that a find reads on past what it read first.
class TestSiteFinder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void find_data();
    void find();

private:
    std::unique_ptr<TestEnv> m_env;
};

void TestSiteFinder::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    m_env->makeDir(QStringLiteral("data"));
    QString index = QStringLiteral("604\r\n7\r\n12\r\n300\r\n44\r\n");
    for (int n = 1000; n < 1600; ++n) {
        index += QString::number(n) + QStringLiteral("\r\n");
        m_env->writeText(QStringLiteral("data/%1.ibd").arg(n, 6, 10, QLatin1Char('0')),
                      QStringLiteral("%1\r\n%2\r\n\r\nURL\r\n").arg(n).arg(n == 1599 ? "Last Quartet" : "Filler"));
    }
    m_env->writeText(QStringLiteral("number.sdf"), index);
    m_env->writeText(QStringLiteral("data/000007.ibd"), "7\r\nJazz Corner\r\nReviews\r\nhttp://a.example/\r\nTop -> Music -> Jazz\r\n");
    m_env->writeText(QStringLiteral("data/000012.ibd"), "12\r\nBlue Notes\r\nWeekly\r\nhttps://b.example/\r\nTop -> Music\r\n");
    m_env->writeText(QStringLiteral("data/000300.ibd"), "300\r\n音楽の森\r\nｊａｚｚ全集 2000\r\nURL\r\n");

}

void TestSiteFinder::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("found"); // position, "w" when it went on from the first site; 0 for none

    QTest::newRow("data number") << "300" << 0 << "3";
    QTest::newRow("full-width data number, blanks, from past it") << " ０００７ " << 1 << "1w";
    QTest::newRow("a number no site has is text") << "2000" << 0 << "3";
    QTest::newRow("title, case and width folded") << "ｂｌｕｅ ＮＯＴＥＳ" << 0 << "2";
    QTest::newRow("full-width text found by half-width") << "JAZZ全集" << 1 << "3";
    QTest::newRow("section path, from the one on display") << "music" << 1 << "2";
    QTest::newRow("section path, wrapping") << "music" << 2 << "1w";
    QTest::newRow("link") << "B.EXAMPLE" << 0 << "2";
    QTest::newRow("read on past the first files") << "quartet" << 2 << "604";
    QTest::newRow("wrapping from the last") << "jazz corner" << 604 << "1w";
    QTest::newRow("from beyond the end") << "jazz corner" << 5000 << "1w";
    QTest::newRow("not across two fields") << "cornerreviews" << 0 << "0";
    QTest::newRow("nothing") << "zzz" << 0 << "0";
    QTest::newRow("blank") << "  " << 0 << "0";
}

void TestSiteFinder::find()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(QString, found);

    SiteFinder finder(m_env->dir());
    const SiteFinder::Result result = finder.find(text, from);
    QCOMPARE(QString::number(result.position) + (result.wrapped ? "w" : ""), found);
    // A second find scans what the first read and finds the same.
    const SiteFinder::Result again = finder.find(text, from);
    QCOMPARE(again.position, result.position);
}

QTEST_GUILESS_MAIN(TestSiteFinder)
#include "tst_sitefinder.moc"
