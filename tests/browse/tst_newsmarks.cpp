#include "browse/newsmarks.h"
#include "platform/clock.h"
#include "platform/settingsstore.h"
#include "remote/updaterun.h"
#include "testenv.h"

#include <QTest>

// Which pages a download run marks as news, and how long the marks stay:
// two runs with a viewing between them, against the pages of interest
// 000007 A (last update 2000/05/18 21:04:33), 000012 B (2000/05/18 10:00:00)
// and 000020 C (no update state yet). The clock stands on 2000/05/20.
class TestNewsMarks : public QObject
{
    Q_OBJECT

private slots:
    void twoRuns_data();
    void twoRuns();
    void unreadableFile();
};

namespace {

// "7@2000/05/19 00:00:00 12@..." : the records of one day's page.
QString page(const QString &records)
{
    QString body;
    for (const QString &record : records.split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = record.split('@');
        body += QStringLiteral("<FONT COLOR='#0000FF'>site (%1)<FONT Size=2>%2 %3</FONT>\n")
                    .arg(parts.at(0).toInt(), 6, 10, QChar('0'))
                    .arg(parts.at(1), parts.value(2));
    }
    return body;
}

// Runs from the stored day with one page per "|"-separated day; the day
// after the last is missing. The news reported, as "7 A" texts.
QStringList download(const QString &appDir, const QString &days)
{
    QStringList pages = days.split('|');
    QStringList reported;
    UpdateRun::Io io;
    io.requestPage = [&](const QString &) {
        UpdateRun::Response response;
        if (pages.isEmpty()) {
            response.header = "HTTP/1.1 404 Not Found\r\n";
        } else {
            response.header = "HTTP/1.1 200 OK\r\n";
            response.body = page(pages.takeFirst());
        }
        return response;
    };
    io.appendLog = [](const QString &) {};
    io.setCaption = [](const QString &) {};
    for (const UpdateRun::News &one : UpdateRun::run(appDir, "http://127.0.0.1:9/", io).news)
        reported << QString::number(one.dataNumber) + ' ' + one.title;
    return reported;
}

QList<qint16> numbers(const QString &text)
{
    QList<qint16> list;
    for (const QString &number : text.split(' ', Qt::SkipEmptyParts))
        list << qint16(number.toInt());
    return list;
}

QList<qint16> sorted(const QSet<qint16> &marks)
{
    QList<qint16> list(marks.begin(), marks.end());
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

void TestNewsMarks::twoRuns_data()
{
    QTest::addColumn<QString>("firstRun"); // days from 2000/05/19, split by "|"
    QTest::addColumn<QString>("firstNews");
    QTest::addColumn<QString>("seen"); // pages the user looks at between the runs
    QTest::addColumn<QString>("secondRun"); // days from 2000/05/21
    QTest::addColumn<QString>("secondNews");
    QTest::addColumn<QString>("marks"); // after both

    // clang-format off
    QTest::newRow("later update")         << "7@2000/05/19@00:00:00|"                  << "7 A"      << ""     << ""                        << ""     << "7";
    QTest::newRow("same update again")    << "7@2000/05/18@21:04:33|"                  << ""         << ""     << ""                        << ""     << "";
    QTest::newRow("not of interest")      << "99@2000/05/19@00:00:00|"                 << ""         << ""     << ""                        << ""     << "";
    QTest::newRow("no state before")      << "20@2000/05/19@00:00:00|"                 << "20 C"     << ""     << ""                        << ""     << "20";
    QTest::newRow("unreadable date")      << "7@2000/05/1x@00:00:00|"                  << ""         << ""     << ""                        << ""     << "";
    QTest::newRow("twice in one run")     << "7@2000/05/19@00:00:00|7@2000/05/19@00:00:00" << "7 A"  << ""     << ""                        << ""     << "7";
    QTest::newRow("again the next day")   << "7@2000/05/19@00:00:00|12@2000/05/20@08:00:00" << "7 A|12 B" << "" << "7@2000/05/19@00:00:00" << ""     << "7 12";
    QTest::newRow("seen is cleared")      << "7@2000/05/19@00:00:00 12@2000/05/19@00:00:00|" << "7 A|12 B" << "7" << ""                << ""     << "12";
    QTest::newRow("news after seen")      << "7@2000/05/19@00:00:00|"                  << "7 A"      << "7"    << "7@2000/05/21@00:00:00"   << "7 A"  << "7";
    // clang-format on
}

void TestNewsMarks::twoRuns()
{
    QFETCH(QString, firstRun);
    QFETCH(QString, firstNews);
    QFETCH(QString, seen);
    QFETCH(QString, secondRun);
    QFETCH(QString, secondNews);
    QFETCH(QString, marks);

    TestEnv env;
    env.makeDir("data");
    env.writeText("pages.udf", " 3 \r\n000007 A\r\n000012 B\r\n000020 C\r\n");
    env.writeText("data/000007.iud", "#2000/05/18 21:04:33#\r\n#2000/05/18#\r\n 1 \r\n");
    env.writeText("data/000012.iud", "#2000/05/18 10:00:00#\r\n#2000/05/18#\r\n 1 \r\n");
    SettingsStore::save("Date", "Update", "2000/05/19");

    QCOMPARE(download(env.dir(), firstRun).join('|'), firstNews);
    NewsMarks::seen(env.dir(), numbers(seen));
    Clock::instance().advance(24 * 60 * 60);
    QCOMPARE(download(env.dir(), secondRun).join('|'), secondNews);
    QCOMPARE(sorted(NewsMarks::read(env.dir())), numbers(marks));
}

// A marks file with rubbish marks what it can read.
void TestNewsMarks::unreadableFile()
{
    TestEnv env;
    env.writeText("news.dat", "000007\r\n099999\r\nabc\r\n-00003\r\n");
    QCOMPARE(sorted(NewsMarks::read(env.dir())), numbers("-3 7"));
}

QTEST_GUILESS_MAIN(TestNewsMarks)
#include "tst_newsmarks.moc"
