#include "privatebus.h"
#include "remote/newsnotice.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
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
    std::unique_ptr<PrivateBus> m_bus;
};

namespace {

QList<UpdateRun::News> pages(int count)
{
    QList<UpdateRun::News> news;
    for (int k = 1; k <= count; ++k)
        news.append({qint16(k), QStringLiteral("サイト%1").arg(k)});
    return news;
}

struct Env
{
    explicit Env(const QString &value)
        : m_old(qgetenv("DBUS_SESSION_BUS_ADDRESS"))
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", value.toUtf8());
    }
    ~Env() { qputenv("DBUS_SESSION_BUS_ADDRESS", m_old); }
    QByteArray m_old;
};

} // namespace

void TestNotifier::initTestCase()
{
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY2(!m_bus->address().isEmpty(), "dbus-daemon did not start (scripts/deps.sh test installs it)");
}

void TestNotifier::message_data()
{
    QTest::addColumn<QList<UpdateRun::News>>("news");
    QTest::addColumn<QString>("body");

    QTest::newRow("one") << pages(1) << "サイト1";
    QTest::newRow("five") << pages(5) << "サイト1\nサイト2\nサイト3\nサイト4\nサイト5";
    QTest::newRow("six") << pages(6) << "サイト1\nサイト2\nサイト3\nサイト4\nサイト5\nほか 1 件";
    QTest::newRow("twelve") << pages(12) << "サイト1\nサイト2\nサイト3\nサイト4\nサイト5\nほか 7 件";
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
    QTest::addColumn<bool>("service");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("capabilities");
    QTest::addColumn<int>("newsCount");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<int>("sent");
    QTest::addColumn<bool>("started"); // the program with --pages-list
    QTest::addColumn<bool>("withdrawn");
    QTest::addColumn<QString>("logStart");

    const QStringList plain{"actions", "body"};
    // clang-format off
    QTest::newRow("click")        << true  << Answer::Click   << plain << 2 << 10000 << 1 << true  << false << "";
    QTest::newRow("open button")  << true  << Answer::Open    << plain << 2 << 10000 << 1 << true  << false << "";
    QTest::newRow("closed")       << true  << Answer::Close   << plain << 2 << 10000 << 1 << false << false << "";
    QTest::newRow("no answer")    << true  << Answer::Nothing << plain << 2 << 0     << 1 << false << true  << "";
    QTest::newRow("no news")      << true  << Answer::Click   << plain << 0 << 10000 << 0 << false << false << "";
    QTest::newRow("no service")   << false << Answer::Click   << plain << 2 << 10000 << 0 << false << false << "更新の通知を出せませんでした。通知のサービスがありません";
    // clang-format on
}

void TestNotifier::tell()
{
    QFETCH(bool, service);
    QFETCH(Answer, answer);
    QFETCH(QStringList, capabilities);
    QFETCH(int, newsCount);
    QFETCH(int, waitMs);
    QFETCH(int, sent);
    QFETCH(bool, started);
    QFETCH(bool, withdrawn);
    QFETCH(QString, logStart);

    // The program the notification starts: it leaves its arguments behind.
    QTemporaryDir dir;
    const QString program = dir.filePath("vellumark");
    const QString startedFile = dir.filePath("started");
    QFile script(program);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"" + startedFile.toUtf8() + "\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    Env env(m_bus->address());
    std::unique_ptr<FakeNotifications> server;
    if (service)
        server = std::make_unique<FakeNotifications>(m_bus->address(), answer, capabilities);

    const QString log = NewsNotice::tell(pages(newsCount), program, std::chrono::milliseconds(waitMs));
    QCOMPARE(log.left(logStart.size()), logStart);
    QCOMPARE(log.isEmpty(), logStart.isEmpty());
    if (started)
        QTRY_VERIFY(QFile::exists(startedFile));
    else
        QVERIFY(!QFile::exists(startedFile));
    if (started) {
        QFile args(startedFile);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(args.readAll(), QByteArray("--pages-list\n"));
    }
    if (!server)
        return;
    const QList<FakeNotifications::Call> calls = server->calls();
    QCOMPARE(calls.size(), sent);
    QCOMPARE(server->withdrawn().size(), withdrawn ? 1 : 0);
    if (calls.isEmpty())
        return;
    const FakeNotifications::Call &call = calls.first();
    QCOMPARE(call.appName, QString("Vellumark"));
    QCOMPARE(call.icon, QString("vellumark"));
    QCOMPARE(call.summary, QString("気になるページに更新があります"));
    QCOMPARE(call.body, NewsNotice::message(pages(newsCount)).body);
    QCOMPARE(call.actions, QStringList({"default", "開く", "open", "開く"}));
    QCOMPARE(call.hints.value("desktop-entry").toString(), QString("vellumark"));
}

QTEST_GUILESS_MAIN(TestNotifier)
#include "tst_notifier.moc"
