#include "privatebus.h"
#include "remote/newsnotice.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Answer = FakeNotifications::Answer;

// The notification of news on a bus of the test's own, with a notification
// service of the test's own that records each call and answers it.
class TestNotifier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void message_data();
    void message();
    void tell_data();
    void tell();

private:
    PrivateBus m_bus;
};

namespace {

QList<UpdateRun::News> pages(int count)
{
    QList<UpdateRun::News> news;
    for (int k = 1; k <= count; ++k)
        news.append({qint16(k), QStringLiteral("サイト%1").arg(k)});
    return news;
}

} // namespace

void TestNotifier::initTestCase()
{
    QVERIFY2(!m_bus.address().isEmpty(), "dbus-daemon did not start (scripts/deps.sh test installs it)");
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
}

void TestNotifier::message_data()
{
    QTest::addColumn<QList<UpdateRun::News>>("news");
    QTest::addColumn<QString>("body");

    QTest::newRow("five") << pages(5) << "サイト1\nサイト2\nサイト3\nサイト4\nサイト5";
    QTest::newRow("six") << pages(6) << "サイト1\nサイト2\nサイト3\nサイト4\nサイト5\nほか 1 件";
    QTest::newRow("no title") << QList<UpdateRun::News>{{7, " "}, {-3, "B"}} << "000007\nB";
}

void TestNotifier::message()
{
    QFETCH(QList<UpdateRun::News>, news);
    QFETCH(QString, body);
    const Notifier::Message message = NewsNotice::message(news);
    QCOMPARE(message.summary, QString("気になるページに更新があります"));
    QCOMPARE(message.body, body);
}

void TestNotifier::tell_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<int>("newsCount");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("started"); // the program's arguments

    const QString sent =
        "Notify Vellumark|vellumark|気になるページに更新があります|サイト1\nサイト2|default,開く,open,開く|vellumark";
    // clang-format off
    QTest::newRow("click")     << Answer::Click   << 2 << 10000 << QStringList{sent}                          << "--pages-list\n";
    QTest::newRow("closed")    << Answer::Close   << 2 << 10000 << QStringList{sent}                          << "";
    QTest::newRow("no answer") << Answer::Nothing << 2 << 0     << QStringList{sent, "CloseNotification 41"}  << "";
    QTest::newRow("no news")   << Answer::Click   << 0 << 10000 << QStringList{}                              << "";
    // clang-format on
}

void TestNotifier::tell()
{
    QFETCH(Answer, answer);
    QFETCH(int, newsCount);
    QFETCH(int, waitMs);
    QFETCH(QStringList, calls);
    QFETCH(QString, started);

    FakeNotifications server(m_bus.address(), answer);

    // The program the notification starts: it leaves its arguments behind.
    QTemporaryDir dir;
    QFile script(dir.filePath("vellumark"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.started\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(NewsNotice::tell(pages(newsCount), script.fileName(), std::chrono::milliseconds(waitMs)), QString());
    QFile args(script.fileName() + ".started");
    if (!started.isEmpty())
        QTRY_VERIFY(args.exists());
    QCOMPARE(args.open(QIODevice::ReadOnly) ? QString::fromUtf8(args.readAll()) : QString(), started);
    QCOMPARE(server.calls(), calls);
}

QTEST_GUILESS_MAIN(TestNotifier)
#include "tst_notifier.moc"
