#include "browse/newsmarks.h"
#include "platform/clock.h"
#include "platform/settingsstore.h"
#include "remote/updaterun.h"
#include "testenv.h"

#include <QTest>

// Which pages a download run marks as news, and how long the marks stay:
// two runs with a viewing between them, against the pages of interest
// 000007 A and 000012 B, both last updated 2000/05/18 21:04:33. The clock
// stands on 2000/05/20.
class TestNewsMarks : public QObject
{
    Q_OBJECT

private slots:
    void twoRuns_data();
    void twoRuns();
};

namespace {

// Runs from the stored day with one page per "|"-separated day, each a
// list of "<data number>@<last update>"; the day after the last is missing.
// The news reported, as "7 A" texts.
QStringList download(const QString &appDir, const QString &days)
{
    QStringList pages = days.split('|'), reported;
    UpdateRun::Io io;
    io.requestPage = [&](const QString &) {
        UpdateRun::Response response{"HTTP/1.1 404 Not Found\r\n", {}};
        if (!pages.isEmpty()) {
            response.header = "HTTP/1.1 200 OK\r\n";
            for (const QString &record : pages.takeFirst().split(' ', Qt::SkipEmptyParts))
                response.body += QStringLiteral("<FONT COLOR='#0000FF'>site (%1)<FONT Size=2>%2</FONT>\n")
                                     .arg(record.section('@', 0, 0).toInt(), 6, 10, QChar('0'))
                                     .arg(record.section('@', 1).replace('@', ' '));
        }
        return response;
    };
    io.appendLog = io.setCaption = [](const QString &) {};
    for (const UpdateRun::News &one : UpdateRun::run(appDir, "http://127.0.0.1:9/", io).news)
        reported << QString::number(one.dataNumber) + ' ' + one.title;
    return reported;
}

} // namespace

void TestNewsMarks::twoRuns_data()
{
    QTest::addColumn<QString>("firstRun"); // days from 2000/05/19, split by "|"
    QTest::addColumn<QList<qint16>>("seen"); // pages the user looks at between the runs
    QTest::addColumn<QString>("secondRun"); // days from 2000/05/21
    QTest::addColumn<QStringList>("news"); // reported by each run
    QTest::addColumn<QList<qint16>>("marks"); // after both

    // clang-format off
    QTest::newRow("later, then the same update") << "7@2000/05/19@00:00:00|"                          << QList<qint16>{}  << "7@2000/05/19@00:00:00"  << QStringList{"7 A", ""}       << QList<qint16>{7};
    QTest::newRow("twice in one run")            << "7@2000/05/19@00:00:00|7@2000/05/19@00:00:00"     << QList<qint16>{}  << ""                       << QStringList{"7 A", ""}       << QList<qint16>{7};
    QTest::newRow("seen, then news again")       << "7@2000/05/19@00:00:00 12@2000/05/19@00:00:00|" << QList<qint16>{7} << "12@2000/05/21@00:00:00" << QStringList{"7 A|12 B", "12 B"} << QList<qint16>{12};
    // clang-format on
}

void TestNewsMarks::twoRuns()
{
    QFETCH(QString, firstRun);
    QFETCH(QList<qint16>, seen);
    QFETCH(QString, secondRun);
    QFETCH(QStringList, news);
    QFETCH(QList<qint16>, marks);

    TestEnv env;
    env.makeDir("data");
    env.writeText("pages.udf", " 2 \r\n000007 A\r\n000012 B\r\n");
    for (const QString &file : {"data/000007.iud", "data/000012.iud"})
        env.writeText(file, "#2000/05/18 21:04:33#\r\n#2000/05/18#\r\n 1 \r\n");
    SettingsStore::save("Date", "Update", "2000/05/19");

    const QString first = download(env.dir(), firstRun).join('|');
    NewsMarks::seen(env.dir(), seen);
    Clock::instance().advance(24 * 60 * 60);
    QCOMPARE(QStringList({first, download(env.dir(), secondRun).join('|')}), news);
    QList<qint16> marked = NewsMarks::read(env.dir()).values();
    std::sort(marked.begin(), marked.end());
    QCOMPARE(marked, marks);
}

QTEST_GUILESS_MAIN(TestNewsMarks)
#include "tst_newsmarks.moc"
