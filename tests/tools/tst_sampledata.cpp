#include "gui/menu/form_menu.h"
#include "platform/clock.h"
#include "gui/kit/messagebox.h"
#include "remote/statuspage.h"
#include "sampledata.h"
#include "servers.h"
#include "store/textrules.h"
#include "store/textutil.h"
#include "testenv.h"
#include "gui/kit/taskwindow.h"

#include <QDirIterator>
#include <QPushButton>
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

// Clicks a menu button and waits until the task's window has done its first work.
static bool run(Form_Menu &menu, Form_Menu::Task task, const char *button)
{
    QSignalSpy done(menu.taskWindow(task), &TaskWindow::activationDone);
    QTest::mouseClick(menu.findChild<QPushButton *>(button), Qt::LeftButton);
    return done.wait(60000);
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
        Form_Menu menu;
        menu.Form_Load();

        // The real builder takes the data set and makes the very files, byte for byte, the demo starts with.
        QVERIFY(run(menu, Form_Menu::Task::SetFile, "cmd_SetFile"));
        QCOMPARE(env.setting("Date", "Update"), StatusPage::dateText(first));
        const Files built = snapshot(env.dir());
        QVERIFY(!built.contains("all-info.idf") && !built.contains("update.idf") && built.size() + 2 == laidOut.size());
        for (const auto &[name, bytes] : built.asKeyValueRange())
            QVERIFY2(laidOut.value(name) == bytes, qPrintable(name));

        // The real download asks for every served day and keeps each listed site's latest record.
        QVERIFY(run(menu, Form_Menu::Task::Update, "cmd_Update"));
        QObject *condition = menu.taskWindow(Form_Menu::Task::Update)->findChild<QObject *>("txt_Condition");
        const QString log = condition->property("plainText").toString();
        QVERIFY2(log.endsWith("完了\n") && !log.contains("存在しません"), qPrintable(log));
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
        QCOMPARE(MessageBox::takeRecorded(), QStringList());

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

QTEST_MAIN(TestSampleData)
#include "tst_sampledata.moc"
