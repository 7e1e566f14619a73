#include "platform/clock.h"
#include "platform/inet.h"
#include "remote/pagerequest.h"
#include "remote/statuspage.h"
#include "remote/updaterun.h"
#include "sampledata.h"
#include "servers.h"
#include "store/builder.h"
#include "store/textrules.h"
#include "store/textutil.h"
#include "testenv.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QTest>

using Files = QMap<QString, QByteArray>;

// Every file below a directory, by relative path, with its bytes.
static Files snapshot(const QString &dir)
{
    Files files;
    for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        if (QFile file(it.next()); file.open(QIODevice::ReadOnly))
            files[QDir(dir).relativeFilePath(file.fileName())] = file.readAll();
    return files;
}

class TestSampleData : public QObject
{
    Q_OBJECT

private slots:
    // The one check of the real clock's adapter, which every other test stands still.
    void systemClockTicksAndLetsGo()
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

    // The url.dat that an installation starts with: an empty data URL and proxy.
    void installedUrlDat()
    {
        QFile file(URL_DAT_PATH);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "\r\n\r\n");
    }

    // The generator, the real builder and the real download on the sample set, against a real server.
    void demo()
    {
        TestEnv env;
        WebServer web;
        if (const QString why = web.start(); !why.isEmpty())
            QSKIP(qPrintable(why));
        const QDate today = Clock::instance().today();
        const QDate first = today.addDays(-13);
        SampleData::layOut({env.dir(), web.dir(), web.url(), today});
        const Files laidOut = snapshot(env.dir());
        // The real builder takes the data set and makes the very files, byte for byte, the demo starts with.
        DataFileBuilder().BuildDataFiles(env.dir());
        QCOMPARE(env.setting("Date", "Update"), StatusPage::dateText(first));
        const Files built = snapshot(env.dir());
        QVERIFY(!built.contains("all-info.idf") && !built.contains("update.idf") && built.size() + 2 == laidOut.size());
        for (const auto &[name, bytes] : built.asKeyValueRange())
            QVERIFY2(laidOut.value(name) == bytes, qPrintable(name));

        // The real download asks for every served day and keeps each listed site's latest record.
        Inet inet;
        PageRequest request(&inet);
        QString log;
        UpdateRun::run(env.dir(), web.url(),
                       {[&](const QString &url) { return request.fetch(url); },
                        [&](const QString &piece) { log += piece; }, [](const QString &) {}});
        QVERIFY2(log.endsWith("完了\r\n") && !log.contains("存在しません"), qPrintable(log));
        const QStringList colours{"0000FF", "00FF00", "FF0000", "000000"}; // methods 1 to 4
        QStringList paths;
        QMap<QString, QString> expected;
        for (QDate day = first; day <= today; day = day.addDays(1)) {
            paths.append("/" + SampleData::pageName(day));
            QVERIFY2(log.contains(StatusPage::dateText(day) + " 終了"), qPrintable(log));
            for (const SampleData::PageRecord &record : SampleData::pageRecords(day))
                expected["data/" + TextUtil::Pad6(record.number) + ".iud"] = QString("#%1#\r\n#%2#\r\n %3 \r\n")
                                                                                 .arg(record.modified,
                                                                                      StatusPage::dateText(day))
                                                                                 .arg(colours.indexOf(record.colour)
                                                                                      + 1);
        }
        QCOMPARE(web.requests(), paths);
        QCOMPARE(env.setting("Date", "Update"), StatusPage::dateText(today.addDays(1)));
        QVERIFY(expected.size() >= 20);
        for (const auto &[name, bytes] : built.asKeyValueRange())
            if (name.endsWith(".iud"))
                QCOMPARE(env.readBytes(name), expected.contains(name) ? TextRules::encode(expected[name]) : bytes);

        // A later start places the used-up data set again, for that day, and keeps all else; its pages
        // reach back to the day the next download starts at.
        const QDate later = today.addDays(30);
        Files before = snapshot(env.dir());
        SampleData::layOut({env.dir(), web.dir(), "http://127.0.0.1:1/", later});
        before.insert("all-info.idf", TextRules::encode(SampleData::allInfoText(later.addDays(-13))));
        before.insert("update.idf", TextRules::encode(SampleData::updateText(later.addDays(-13))));
        QVERIFY(snapshot(env.dir()) == before);
        QCOMPARE(QDir(web.dir()).entryList(QDir::Files, QDir::Name).first(), SampleData::pageName(today.addDays(1)));
        // The user's own data set stays.
        env.writeText("all-info.idf", "mine\r\n");
        QFile::remove(env.path("update.idf"));
        before = snapshot(env.dir());
        SampleData::layOut({env.dir(), web.dir(), "http://127.0.0.1:1/", later.addDays(1)});
        QVERIFY(snapshot(env.dir()) == before);
    }
};

QTEST_GUILESS_MAIN(TestSampleData)
#include "tst_sampledata.moc"
