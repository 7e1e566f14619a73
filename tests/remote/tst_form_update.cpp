#include "app/form_menu.h"
#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/messagebox.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"
#include "remote/form_setting.h"
#include "remote/form_update.h"
#include "remote/urlfile.h"
#include "servers.h"
#include "store/textfile.h"
#include "testenv.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString kTime = QStringLiteral("2000/05/18 21:04:33");

QString rec(const QString &colour, const QString &number, const QString &when = kTime)
{
    return QStringLiteral("<FONT COLOR='#") + colour + QStringLiteral("'>ジャズ館 (") + number
        + QStringLiteral(")</FONT> 更新日時 <FONT Size=2>") + when + QStringLiteral("</FONT><BR>\r\n");
}

QString page(const QString &records)
{
    return QStringLiteral("<HTML><HEAD><TITLE>更新状況</TITLE></HEAD><BODY>\r\n") + records
        + QStringLiteral("</BODY></HTML>\r\n");
}

// What the window writes for a record: three lines of an update-state file.
QByteArray iud(const QString &when, const QString &day, int code)
{
    return sjis(QLatin1Char('#') + when + QStringLiteral("#\r\n#") + day + QStringLiteral("#\r\n ")
                + QString::number(code) + QStringLiteral(" \r\n"));
}

// "NNNNNN=contents" for every update-state file in data, by name.
QStringList iudFiles(const TestEnv &env)
{
    QStringList files;
    const QDir data(env.path(QStringLiteral("data")));
    for (const QString &name : data.entryList({QStringLiteral("*.iud")}, QDir::Files, QDir::Name))
        files.append(name.left(6) + QLatin1Char('=') + env.readText(QStringLiteral("data/") + name));
    return files;
}

QString iudEntry(const QString &number, const QString &when, const QString &day, int code)
{
    return number + QLatin1Char('=') + TextRules::decode(iud(when, day, code));
}

// One window as the menu would make it, with the settings it reads.
class Window
{
public:
    Window(const QString &url, const QString &proxy = QString())
        : setting(std::make_unique<Form_Setting>(&menu))
    {
        setting->txt_URL->setText(url);
        setting->txt_Proxy->setText(proxy);
        form = new Form_Update(&menu, setting.get());
    }
    ~Window() { delete form; }

    // Shows it from the menu and waits for its activation run to end.
    bool run()
    {
        menu.hide();
        QSignalSpy done(form, &TaskWindow::activationDone);
        form->showFromMenu();
        return done.wait(120000);
    }
    QString log() const { return form->txt_Condition->toPlainText(); }
    QString caption() const { return form->lab_Update->text(); }

    QWidget menu;
    std::unique_ptr<Form_Setting> setting;
    QPointer<Form_Update> form;
};

} // namespace

class TestFormUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void looksAsDesigned();
    void runs_data();
    void runs();
    void runPassingMidnight();
    void faults_data();
    void faults();
    void timeOut_data();
    void timeOut();
    void proxies_data();
    void proxies();
    void unwritableFiles_data();
    void unwritableFiles();
    void stateChanged_data();
    void stateChanged();
    void frameCloseDuringAndAfterRun();
    void menuMakesAFreshWindowEachTime();

private:
    void setStored(const QString &stored);

    WebServer m_web;
    QString m_webMissing;
    std::unique_ptr<TestEnv> m_env;
};

void TestFormUpdate::initTestCase()
{
    m_webMissing = m_web.start();
}

void TestFormUpdate::init()
{
    m_env = std::make_unique<TestEnv>();
    m_env->makeDir(QStringLiteral("data"));
    m_web.clear();
}

void TestFormUpdate::cleanup()
{
    QCOMPARE(MessageBox::takeRecorded(), QStringList()); // the download shows none
    m_env.reset();
}

void TestFormUpdate::setStored(const QString &stored)
{
    if (stored != QLatin1String("<none>"))
        SettingsStore::save(QStringLiteral("Date"), QStringLiteral("Update"), stored);
}

void TestFormUpdate::looksAsDesigned()
{
    Window window(QStringLiteral("http://127.0.0.1:1/"));
    Form_Update *form = window.form;
    QCOMPARE(form->windowTitle(), QStringLiteral("更新状況確認"));
    QCOMPARE(form->centralWidget()->size(), QSize(312, 240));
    QCOMPARE(form->lab_Update->geometry(), QRect(56, 8, 193, 25));
    QCOMPARE(form->txt_Condition->geometry(), QRect(8, 40, 297, 153));
    QCOMPARE(form->cmd_OK->geometry(), QRect(120, 200, 81, 33));
    QCOMPARE(form->lab_Update->text(), QString());
    QVERIFY(form->lab_Update->autoFillBackground());
    QCOMPARE(form->lab_Update->palette().color(QPalette::Window), QColor(255, 255, 0));
    QCOMPARE(form->txt_Condition->toPlainText(), QString());
    QCOMPARE(form->txt_Condition->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(form->cmd_OK->text(), QStringLiteral("確認"));
    QVERIFY(!form->cmd_OK->isEnabled());
    QCOMPARE(form->findChild<Inet *>(QStringLiteral("Inet1")), form->Inet1);

    // The log is first in the tab order, the button next.
    SettingsStore::save(QStringLiteral("Date"), QStringLiteral("Update"), QStringLiteral("2000/05/21"));
    QVERIFY(window.run());
    QApplication::setActiveWindow(form);
    form->txt_Condition->setFocus();
    QTest::keyClick(form->txt_Condition, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form->cmd_OK);
}

void TestFormUpdate::runs_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QStringList>("pages"); // "yyyymmdd" then its page text, in pairs
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("storedAfter");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("files");

    const QDateTime noon(QDate(2000, 5, 20), QTime(12, 0));
    const QString blue = QStringLiteral("0000FF");
    const QString green = QStringLiteral("00FF00");
    const QString red = QStringLiteral("FF0000");
    const QString black = QStringLiteral("000000");
    auto path = [](const QString &day) { return QLatin1Char('/') + day + QStringLiteral(".html"); };

    QTest::newRow("stored date after today: no request")
        << QStringLiteral("2000/05/21") << noon << QStringList{QStringLiteral("20000521"), page(rec(blue, QStringLiteral("7")))}
        << QStringList() << QStringLiteral("完了\n") << QStringLiteral("2000/05/21")
        << QStringLiteral("2000/05/21 ->2000/05/21") << QStringList();

    QTest::newRow("stored date is today")
        << QStringLiteral("2000/05/20") << noon
        << QStringList{QStringLiteral("20000520"), page(rec(blue, QStringLiteral("7")) + rec(black, QStringLiteral("12"), QStringLiteral("2000/05/19 08:15:00")))}
        << QStringList{path(QStringLiteral("20000520"))}
        << QStringLiteral("000007 終了\n000012 終了\n2000/05/20 終了\n完了\n") << QStringLiteral("2000/05/21")
        << QStringLiteral("2000/05/20 ->2000/05/21")
        << QStringList{iudEntry(QStringLiteral("000007"), kTime, QStringLiteral("2000/05/20"), 1),
                       iudEntry(QStringLiteral("000012"), QStringLiteral("2000/05/19 08:15:00"), QStringLiteral("2000/05/20"), 4)};

    QTest::newRow("three days back: four requests in date order")
        << QStringLiteral("2000/05/17") << noon
        << QStringList{QStringLiteral("20000517"), page(rec(blue, QStringLiteral("1"))),
                       QStringLiteral("20000518"), page(rec(green, QStringLiteral("2"))),
                       QStringLiteral("20000519"), page(rec(red, QStringLiteral("3")) + rec(black, QStringLiteral("1"), QStringLiteral("2000/05/19 00:00:01"))),
                       QStringLiteral("20000520"), page(QString())}
        << QStringList{path(QStringLiteral("20000517")), path(QStringLiteral("20000518")),
                       path(QStringLiteral("20000519")), path(QStringLiteral("20000520"))}
        << QStringLiteral("000001 終了\n2000/05/17 終了\n000002 終了\n2000/05/18 終了\n000003 終了\n000001 終了\n"
                          "2000/05/19 終了\n2000/05/20 終了\n完了\n")
        << QStringLiteral("2000/05/21") << QStringLiteral("2000/05/17 ->2000/05/21")
        << QStringList{iudEntry(QStringLiteral("000001"), QStringLiteral("2000/05/19 00:00:01"), QStringLiteral("2000/05/19"), 4),
                       iudEntry(QStringLiteral("000002"), kTime, QStringLiteral("2000/05/18"), 2),
                       iudEntry(QStringLiteral("000003"), kTime, QStringLiteral("2000/05/19"), 3)};

    QTest::newRow("first page missing")
        << QStringLiteral("2000/05/20") << noon << QStringList() << QStringList{path(QStringLiteral("20000520"))}
        << QStringLiteral("2000/05/20 存在しません。\n完了\n") << QStringLiteral("2000/05/19")
        << QStringLiteral("2000/05/20 ->2000/05/19") << QStringList();

    QTest::newRow("missing page after two found")
        << QStringLiteral("2000/05/18") << QDateTime(QDate(2000, 5, 25), QTime(9, 0))
        << QStringList{QStringLiteral("20000518"), page(QString()), QStringLiteral("20000519"), page(QString()),
                       QStringLiteral("20000520"), page(QString()), QStringLiteral("20000522"), page(QString())}
        << QStringList{path(QStringLiteral("20000518")), path(QStringLiteral("20000519")),
                       path(QStringLiteral("20000520")), path(QStringLiteral("20000521"))}
        << QStringLiteral("2000/05/18 終了\n2000/05/19 終了\n2000/05/20 終了\n2000/05/21 存在しません。\n完了\n")
        << QStringLiteral("2000/05/20") << QStringLiteral("2000/05/18 ->2000/05/20") << QStringList();

    QTest::newRow("month end")
        << QStringLiteral("2000/04/30") << QDateTime(QDate(2000, 5, 1), QTime(8, 0))
        << QStringList{QStringLiteral("20000430"), page(QString()), QStringLiteral("20000501"), page(QString())}
        << QStringList{path(QStringLiteral("20000430")), path(QStringLiteral("20000501"))}
        << QStringLiteral("2000/04/30 終了\n2000/05/01 終了\n完了\n") << QStringLiteral("2000/05/02")
        << QStringLiteral("2000/04/30 ->2000/05/02") << QStringList();

    QTest::newRow("year end")
        << QStringLiteral("1999/12/31") << QDateTime(QDate(2000, 1, 1), QTime(0, 5))
        << QStringList{QStringLiteral("19991231"), page(rec(red, QStringLiteral("5"))), QStringLiteral("20000101"), page(QString())}
        << QStringList{path(QStringLiteral("19991231")), path(QStringLiteral("20000101"))}
        << QStringLiteral("000005 終了\n1999/12/31 終了\n2000/01/01 終了\n完了\n") << QStringLiteral("2000/01/02")
        << QStringLiteral("1999/12/31 ->2000/01/02")
        << QStringList{iudEntry(QStringLiteral("000005"), kTime, QStringLiteral("1999/12/31"), 3)};

    QTest::newRow("29 February")
        << QStringLiteral("2000/02/28") << QDateTime(QDate(2000, 3, 1), QTime(12, 0))
        << QStringList{QStringLiteral("20000228"), page(QString()), QStringLiteral("20000229"), page(rec(green, QStringLiteral("29"))),
                       QStringLiteral("20000301"), page(QString())}
        << QStringList{path(QStringLiteral("20000228")), path(QStringLiteral("20000229")), path(QStringLiteral("20000301"))}
        << QStringLiteral("2000/02/28 終了\n000029 終了\n2000/02/29 終了\n2000/03/01 終了\n完了\n")
        << QStringLiteral("2000/03/02") << QStringLiteral("2000/02/28 ->2000/03/02")
        << QStringList{iudEntry(QStringLiteral("000029"), kTime, QStringLiteral("2000/02/29"), 2)};

    QTest::newRow("no 29 February in 2100")
        << QStringLiteral("2100/02/28") << QDateTime(QDate(2100, 3, 1), QTime(12, 0))
        << QStringList{QStringLiteral("21000228"), page(QString()), QStringLiteral("21000301"), page(QString())}
        << QStringList{path(QStringLiteral("21000228")), path(QStringLiteral("21000301"))}
        << QStringLiteral("2100/02/28 終了\n2100/03/01 終了\n完了\n") << QStringLiteral("2100/03/02")
        << QStringLiteral("2100/02/28 ->2100/03/02") << QStringList();

    QTest::newRow("page without colour tags")
        << QStringLiteral("2000/05/20") << noon
        << QStringList{QStringLiteral("20000520"), page(QStringLiteral("本日の更新はありません (0) <FONT Size=2>x"))}
        << QStringList{path(QStringLiteral("20000520"))} << QStringLiteral("2000/05/20 終了\n完了\n")
        << QStringLiteral("2000/05/21") << QStringLiteral("2000/05/20 ->2000/05/21") << QStringList();

    QTest::newRow("lower-case colours take the previous code, 0 at first")
        << QStringLiteral("2000/05/19") << noon
        << QStringList{QStringLiteral("20000519"), page(rec(QStringLiteral("ff0000"), QStringLiteral("1")) + rec(green, QStringLiteral("2"))),
                       QStringLiteral("20000520"), page(rec(QStringLiteral("0000ff"), QStringLiteral("3")) + rec(QStringLiteral("C0C0C0"), QStringLiteral("4")))}
        << QStringList{path(QStringLiteral("20000519")), path(QStringLiteral("20000520"))}
        << QStringLiteral("000001 終了\n000002 終了\n2000/05/19 終了\n000003 終了\n000004 終了\n2000/05/20 終了\n完了\n")
        << QStringLiteral("2000/05/21") << QStringLiteral("2000/05/19 ->2000/05/21")
        << QStringList{iudEntry(QStringLiteral("000001"), kTime, QStringLiteral("2000/05/19"), 0),
                       iudEntry(QStringLiteral("000002"), kTime, QStringLiteral("2000/05/19"), 2),
                       iudEntry(QStringLiteral("000003"), kTime, QStringLiteral("2000/05/20"), 2),
                       iudEntry(QStringLiteral("000004"), kTime, QStringLiteral("2000/05/20"), 2)};

    QTest::newRow("site listed twice: the second record stands")
        << QStringLiteral("2000/05/20") << noon
        << QStringList{QStringLiteral("20000520"), page(rec(blue, QStringLiteral("7"), QStringLiteral("2000/05/20 01:00:00"))
                                                        + rec(black, QStringLiteral("7"), QStringLiteral("2000/05/20 02:00:00")))}
        << QStringList{path(QStringLiteral("20000520"))}
        << QStringLiteral("000007 終了\n000007 終了\n2000/05/20 終了\n完了\n") << QStringLiteral("2000/05/21")
        << QStringLiteral("2000/05/20 ->2000/05/21")
        << QStringList{iudEntry(QStringLiteral("000007"), QStringLiteral("2000/05/20 02:00:00"), QStringLiteral("2000/05/20"), 4)};

    QTest::newRow("stray bracket writes data number 0")
        << QStringLiteral("2000/05/20") << noon
        << QStringList{QStringLiteral("20000520"),
                       page(QStringLiteral("<FONT COLOR='#FF0000'>音楽(ジャズ)館 (7)</FONT><FONT Size=2>") + kTime + QStringLiteral("</FONT>"))}
        << QStringList{path(QStringLiteral("20000520"))}
        << QStringLiteral("000000 終了\n2000/05/20 終了\n完了\n") << QStringLiteral("2000/05/21")
        << QStringLiteral("2000/05/20 ->2000/05/21")
        << QStringList{iudEntry(QStringLiteral("000000"), kTime, QStringLiteral("2000/05/20"), 3)};

    QTest::newRow("empty 200")
        << QStringLiteral("2000/05/20") << noon << QStringList{QStringLiteral("20000520"), QString()}
        << QStringList{path(QStringLiteral("20000520"))} << QStringLiteral("2000/05/20 終了\n完了\n")
        << QStringLiteral("2000/05/21") << QStringLiteral("2000/05/20 ->2000/05/21") << QStringList();

    QTest::newRow("no stored date: from today")
        << QStringLiteral("<none>") << noon << QStringList{QStringLiteral("20000520"), page(QString())}
        << QStringList{path(QStringLiteral("20000520"))} << QStringLiteral("2000/05/20 終了\n完了\n")
        << QStringLiteral("2000/05/21") << QStringLiteral("2000/05/20 ->2000/05/21") << QStringList();

    QTest::newRow("stored text is no date: from today")
        << QStringLiteral("unknown") << noon << QStringList()
        << QStringList{path(QStringLiteral("20000520"))} << QStringLiteral("2000/05/20 存在しません。\n完了\n")
        << QStringLiteral("2000/05/19") << QStringLiteral("2000/05/20 ->2000/05/19") << QStringList();

    QTest::newRow("one-digit month and day are read")
        << QStringLiteral("2000/5/9") << QDateTime(QDate(2000, 5, 9), QTime(12, 0))
        << QStringList{QStringLiteral("20000509"), page(QString())} << QStringList{path(QStringLiteral("20000509"))}
        << QStringLiteral("2000/05/09 終了\n完了\n") << QStringLiteral("2000/05/10")
        << QStringLiteral("2000/05/09 ->2000/05/10") << QStringList();

    QTest::newRow("record without its date tag ends the page, the day counts")
        << QStringLiteral("2000/05/20") << noon
        << QStringList{QStringLiteral("20000520"),
                       page(rec(blue, QStringLiteral("7")) + QStringLiteral("<FONT COLOR='#00FF00'>壊れた記録 (8)</FONT>")
                            + rec(red, QStringLiteral("9")).replace(QStringLiteral("<FONT Size=2>"), QStringLiteral("<BR>")))}
        << QStringList{path(QStringLiteral("20000520"))}
        << QStringLiteral("000007 終了\n2000/05/20 終了\n完了\n") << QStringLiteral("2000/05/21")
        << QStringLiteral("2000/05/20 ->2000/05/21")
        << QStringList{iudEntry(QStringLiteral("000007"), kTime, QStringLiteral("2000/05/20"), 1)};

    QTest::newRow("data number beyond 16 bits is skipped")
        << QStringLiteral("2000/05/20") << noon
        << QStringList{QStringLiteral("20000520"), page(rec(blue, QStringLiteral("40000")) + rec(green, QStringLiteral("8")))}
        << QStringList{path(QStringLiteral("20000520"))}
        << QStringLiteral("40000 データ番号が範囲外のため飛ばしました。\n000008 終了\n2000/05/20 終了\n完了\n")
        << QStringLiteral("2000/05/21") << QStringLiteral("2000/05/20 ->2000/05/21")
        << QStringList{iudEntry(QStringLiteral("000008"), kTime, QStringLiteral("2000/05/20"), 2)};
}

void TestFormUpdate::runs()
{
    QFETCH(QString, stored);
    QFETCH(QDateTime, now);
    QFETCH(QStringList, pages);
    QFETCH(QStringList, requests);
    QFETCH(QString, log);
    QFETCH(QString, storedAfter);
    QFETCH(QString, caption);
    QFETCH(QStringList, files);
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));

    for (qsizetype i = 0; i + 1 < pages.size(); i += 2)
        m_web.writeFile(pages.at(i) + QStringLiteral(".html"), sjis(pages.at(i + 1)));
    Clock::instance().setTestTime(now);
    setStored(stored);
    const qsizetype before = m_web.requests().size();

    Window window(m_web.url());
    QVERIFY(window.run());
    QCOMPARE(window.log(), log);
    QCOMPARE(window.caption(), caption);
    QCOMPARE(m_env->setting(QStringLiteral("Date"), QStringLiteral("Update")), storedAfter);
    QCOMPARE(iudFiles(*m_env), files);
    QVERIFY(window.form->cmd_OK->isEnabled());
    QTRY_COMPARE(m_web.requests().mid(before), requests);
}

void TestFormUpdate::runPassingMidnight()
{
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));
    m_web.writeFile(QStringLiteral("20000520.html"), sjis(page(QString())));
    m_web.writeFile(QStringLiteral("20000521.html"), sjis(page(rec(QStringLiteral("0000FF"), QStringLiteral("3")))));
    Clock::instance().setTestTime(QDateTime(QDate(2000, 5, 20), QTime(23, 59, 59)));
    setStored(QStringLiteral("2000/05/20"));

    Window window(m_web.url());
    // The clock passes midnight while the first day's line is logged.
    bool passed = false;
    connect(window.form->txt_Condition, &QPlainTextEdit::textChanged, this, [&] {
        if (!passed && window.log().contains(QStringLiteral("2000/05/20 終了"))) {
            passed = true;
            Clock::instance().advance(1);
        }
    });
    QVERIFY(window.run());
    QCOMPARE(window.log(), QStringLiteral("2000/05/20 終了\n000003 終了\n2000/05/21 終了\n完了\n"));
    QCOMPARE(window.caption(), QStringLiteral("2000/05/20 ->2000/05/22"));
    QCOMPARE(m_env->setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/22"));
}

void TestFormUpdate::faults_data()
{
    QTest::addColumn<QByteArray>("raw"); // empty: the connection is reset
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("files");

    const QString missing = QStringLiteral("2000/05/20 存在しません。\n完了\n");
    QTest::newRow("404") << httpResponse("404 Not Found", sjis(page(rec(QStringLiteral("0000FF"), QStringLiteral("7")))))
                         << missing << QStringList();
    QTest::newRow("500") << httpResponse("500 Internal Server Error", QByteArray()) << missing << QStringList();
    QTest::newRow("reset connection") << QByteArray() << missing << QStringList();
    QTest::newRow("200 cut short in its body")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9000\r\n\r\n") + sjis(page(rec(QStringLiteral("0000FF"), QStringLiteral("7"))))
        << missing << QStringList();
    QTest::newRow("20 MiB body")
        << httpResponse("200 OK", QByteArray(20 * 1024 * 1024, ' ') + sjis(rec(QStringLiteral("0000FF"), QStringLiteral("7"))))
        << missing << QStringList();

    // Records in a body of several 1024-character chunks, across their joins.
    QString records;
    QStringList files;
    QString log;
    for (int n = 1; n <= 40; ++n) {
        records += rec(QStringLiteral("000000"), QString::number(n));
        const QString number = QString::number(n).rightJustified(6, QLatin1Char('0'));
        files.append(iudEntry(number, kTime, QStringLiteral("2000/05/20"), 4));
        log += number + QStringLiteral(" 終了\n");
    }
    QVERIFY(page(records).size() > 3 * 1024);
    QTest::newRow("body of several chunks") << httpResponse("200 OK", sjis(page(records)))
                                            << log + QStringLiteral("2000/05/20 終了\n完了\n") << files;
    QTest::newRow("empty 200") << httpResponse("200 OK", QByteArray()) << QStringLiteral("2000/05/20 終了\n完了\n")
                               << QStringList();
    QTest::newRow("redirect to the page")
        << QByteArray("HTTP/1.1 302 Found\r\nLocation: /moved/20000520.html\r\nContent-Length: 0\r\n\r\n")
        << QStringLiteral("000007 終了\n2000/05/20 終了\n完了\n")
        << QStringList{iudEntry(QStringLiteral("000007"), kTime, QStringLiteral("2000/05/20"), 1)};
    QTest::newRow("redirect to a missing page")
        << QByteArray("HTTP/1.1 301 Moved Permanently\r\nLocation: /gone.html\r\nContent-Length: 0\r\n\r\n")
        << missing << QStringList();
}

void TestFormUpdate::faults()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, log);
    QFETCH(QStringList, files);

    FaultServer server;
    server.on(QStringLiteral("/20000520.html"), raw.isEmpty() ? FaultServer::reset() : FaultServer::reply(raw));
    server.on(QStringLiteral("/moved/20000520.html"),
              FaultServer::reply(httpResponse("200 OK", sjis(page(rec(QStringLiteral("0000FF"), QStringLiteral("7")))))));
    setStored(QStringLiteral("2000/05/20"));
    Window window(server.url());
    QVERIFY(window.run());
    QCOMPARE(window.log(), log);
    QCOMPARE(iudFiles(*m_env), files);
}

void TestFormUpdate::timeOut_data()
{
    QTest::addColumn<QTime>("start");

    QTest::newRow("at noon") << QTime(12, 0, 0);
    QTest::newRow("across midnight") << QTime(23, 58, 0);
}

void TestFormUpdate::timeOut()
{
    QFETCH(QTime, start);

    FaultServer server;
    server.on(QStringLiteral("/20000520.html"), FaultServer::stall());
    Clock::instance().setTestTime(QDateTime(QDate(2000, 5, 20), start));
    setStored(QStringLiteral("2000/05/20"));
    Window window(server.url());
    window.form->ResponseText = QStringLiteral("left from before");

    int flagAfter299 = -1;
    int openAfter299 = -1;
    int flagAfter300 = -1;
    connect(&server, &FaultServer::requestSeen, this, [&] {
        Clock::instance().advance(299);
        flagAfter299 = window.form->WaitFlag;
        openAfter299 = server.openConnections();
        Clock::instance().advance(1);
        flagAfter300 = window.form->WaitFlag;
    });
    QVERIFY(window.run());
    QCOMPARE(flagAfter299, 1);
    QCOMPARE(openAfter299, 1);
    QCOMPARE(flagAfter300, 0);
    QCOMPARE(window.form->ResponseText, QString());
    QCOMPARE(window.log(), QStringLiteral("2000/05/20 存在しません。\n完了\n"));
    QCOMPARE(m_env->setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/19"));
    QTRY_COMPARE(server.openConnections(), 0); // cancelled
}

void TestFormUpdate::proxies_data()
{
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<QString>("log");

    const QString found = QStringLiteral("000007 終了\n2000/05/20 終了\n完了\n");
    const QString missing = QStringLiteral("2000/05/20 存在しません。\n完了\n");
    QTest::newRow("through tinyproxy") << QStringLiteral("127.0.0.1:PROXY") << found;
    QTest::newRow("through tinyproxy, with scheme") << QStringLiteral("http://127.0.0.1:PROXY") << found;
    QTest::newRow("dead proxy") << QStringLiteral("127.0.0.1:DEAD") << missing;
    QTest::newRow("proxy text that is no proxy") << QStringLiteral("proxy please") << missing;
}

void TestFormUpdate::proxies()
{
    QFETCH(QString, proxy);
    QFETCH(QString, log);
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));
    ForwardProxy forward;
    if (proxy.contains(QLatin1String("PROXY"))) {
        const QString why = forward.start();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
    }
    proxy.replace(QStringLiteral("PROXY"), QString::number(forward.port()));
    proxy.replace(QStringLiteral("DEAD"), QString::number(deadPort()));
    m_web.writeFile(QStringLiteral("20000520.html"), sjis(page(rec(QStringLiteral("0000FF"), QStringLiteral("7")))));
    setStored(QStringLiteral("2000/05/20"));
    const qsizetype before = m_web.requests().size();

    Window window(m_web.url(), proxy);
    QVERIFY(window.run());
    QCOMPARE(window.log(), log);
    if (proxy.contains(QString::number(forward.port())) && forward.port() != 0) {
        const QString line = QStringLiteral("GET ") + m_web.url() + QStringLiteral("20000520.html HTTP/1.1");
        QVERIFY2(forward.log().contains(line), qPrintable(forward.log()));
        QTRY_COMPARE(m_web.requests().mid(before), QStringList{QStringLiteral("/20000520.html")});
    } else {
        QCOMPARE(m_web.requests().mid(before), QStringList()); // nothing went direct
    }
}

void TestFormUpdate::unwritableFiles_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("log"); // a pattern: NN stands for the failure number

    const QString head = QStringLiteral("2000/05/19 終了\n");
    QTest::newRow("no data directory")
        << QStringLiteral("no data") << head + QStringLiteral("DATA/000007.iud を保存できませんでした。エラー番号：NN\n完了\n");
    QTest::newRow("read-only data directory")
        << QStringLiteral("read-only") << head + QStringLiteral("DATA/000007.iud を保存できませんでした。エラー番号：NN\n完了\n");
    QTest::newRow("second file cannot be replaced")
        << QStringLiteral("directory")
        << head + QStringLiteral("000007 終了\nDATA/000012.iud を保存できませんでした。エラー番号：NN\n完了\n");
}

void TestFormUpdate::unwritableFiles()
{
    QFETCH(QString, fault);
    QFETCH(QString, log);
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));

    m_web.writeFile(QStringLiteral("20000519.html"), sjis(page(QString())));
    m_web.writeFile(QStringLiteral("20000520.html"),
                    sjis(page(rec(QStringLiteral("0000FF"), QStringLiteral("7")) + rec(QStringLiteral("0000FF"), QStringLiteral("12")))));
    setStored(QStringLiteral("2000/05/19"));
    if (fault == QLatin1String("no data"))
        QDir(m_env->path(QStringLiteral("data"))).removeRecursively();
    if (fault == QLatin1String("directory"))
        m_env->makeDir(QStringLiteral("data/000012.iud"));

    Window window(m_web.url());
    // Read-only for root means another identity, which cannot reach the
    // settings: so only from the first day's end to the failure.
    std::unique_ptr<ReadOnlyDir> readOnly;
    if (fault == QLatin1String("read-only")) {
        connect(window.form->txt_Condition, &QPlainTextEdit::textChanged, this, [&] {
            if (window.log().contains(QStringLiteral("保存できませんでした")))
                readOnly.reset();
            else if (!readOnly && window.log().contains(QStringLiteral("2000/05/19 終了")))
                readOnly = std::make_unique<ReadOnlyDir>(m_env->path(QStringLiteral("data")));
        });
    }
    QVERIFY(window.run());
    QVERIFY(!readOnly);
    QString pattern = QRegularExpression::escape(log);
    pattern.replace(QStringLiteral("DATA"), QRegularExpression::escape(QDir::toNativeSeparators(m_env->path(QStringLiteral("data")))));
    pattern.replace(QStringLiteral("NN"), QStringLiteral("[0-9]+"));
    QVERIFY2(QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$')).match(window.log()).hasMatch(),
             qPrintable(window.log()));
    // The failed day is fetched again next time; the end steps ran as usual.
    QCOMPARE(m_env->setting(QStringLiteral("Date"), QStringLiteral("Update")), QStringLiteral("2000/05/20"));
    QCOMPARE(window.caption(), QStringLiteral("2000/05/19 ->2000/05/20"));
    QVERIFY(window.form->cmd_OK->isEnabled());
    if (fault == QLatin1String("directory"))
        QCOMPARE(iudFiles(*m_env), (QStringList{iudEntry(QStringLiteral("000007"), kTime, QStringLiteral("2000/05/20"), 1)}));
    else
        QCOMPARE(iudFiles(*m_env), QStringList());
}

void TestFormUpdate::stateChanged_data()
{
    QTest::addColumn<QByteArray>("answer"); // empty: no request before the event
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("responseText");
    QTest::addColumn<int>("waitFlag");

    QTest::newRow("completed over HTTP replaces the body")
        << httpResponse("200 OK", "new body") << 12 << QStringLiteral("new body") << 0;
    QTest::newRow("completed with an empty body empties it")
        << httpResponse("404 Not Found", QByteArray()) << 12 << QString() << 0;
    QTest::newRow("completed without HTTP keeps the body") << QByteArray() << 12 << QStringLiteral("previous") << 0;
    QTest::newRow("error empties the body") << QByteArray() << 11 << QString() << 0;
    QTest::newRow("other states change nothing") << QByteArray() << 8 << QStringLiteral("previous") << 1;
}

void TestFormUpdate::stateChanged()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, state);
    QFETCH(QString, responseText);
    QFETCH(int, waitFlag);

    FaultServer server;
    server.on(QStringLiteral("/p.html"), FaultServer::reply(answer));
    Window window(server.url());
    Form_Update *form = window.form;
    if (!answer.isEmpty()) {
        // The handler runs inside the wait and reads the whole body there.
        QSignalSpy states(form->Inet1, &Inet::StateChanged);
        form->ResponseText = QStringLiteral("previous");
        form->requestPage(server.url() + QStringLiteral("p.html"));
        QCOMPARE(states.count(), 1);
        QCOMPARE(states.at(0).at(0).toInt(), state);
    } else {
        form->ResponseText = QStringLiteral("previous");
        form->WaitFlag = 1;
        form->Inet1_StateChanged(qint16(state));
    }
    QCOMPARE(form->ResponseText, responseText);
    QCOMPARE(int(form->WaitFlag), waitFlag);
}

void TestFormUpdate::frameCloseDuringAndAfterRun()
{
    FaultServer server;
    server.on(QStringLiteral("/20000520.html"), FaultServer::stall());
    setStored(QStringLiteral("2000/05/20"));
    Window window(server.url());
    bool visibleAfterClose = false;
    connect(&server, &FaultServer::requestSeen, this, [&] {
        window.form->close();
        visibleAfterClose = window.form->isVisible() && !window.menu.isVisible();
        Clock::instance().advance(300);
    });
    QVERIFY(window.run());
    QVERIFY(visibleAfterClose);
    QCOMPARE(window.log(), QStringLiteral("2000/05/20 存在しません。\n完了\n"));

    // Afterwards the frame's close is "確認".
    window.form->close();
    QVERIFY(window.menu.isVisible());
    QVERIFY(!window.form->isVisible());
    QTRY_VERIFY(window.form.isNull());
}

void TestFormUpdate::menuMakesAFreshWindowEachTime()
{
    if (!m_webMissing.isEmpty())
        QSKIP(qPrintable(m_webMissing));
    m_web.writeFile(QStringLiteral("20000520.html"), sjis(page(rec(QStringLiteral("00FF00"), QStringLiteral("7")))));
    UrlFile::write(AppDir(), m_web.url(), QString());
    setStored(QStringLiteral("2000/05/20"));
    const qsizetype before = m_web.requests().size();

    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QVERIFY(menu.cmd_Update->isEnabled());
    QPointer<TaskWindow> first = menu.taskWindow(Form_Menu::Task::Update);
    QSignalSpy firstDone(first.data(), &TaskWindow::activationDone);
    QTest::mouseClick(menu.cmd_Update, Qt::LeftButton);
    QVERIFY(firstDone.wait(60000));
    auto *form = qobject_cast<Form_Update *>(first.data());
    QVERIFY(form);
    QCOMPARE(form->txt_Condition->toPlainText(), QStringLiteral("000007 終了\n2000/05/20 終了\n完了\n"));
    QVERIFY(!menu.isVisible());

    QTest::mouseClick(form->cmd_OK, Qt::LeftButton);
    QVERIFY(menu.isVisible());
    QTRY_VERIFY(first.isNull());

    // A second run on the same day makes no request, in a new window with a new log.
    QPointer<TaskWindow> second = menu.taskWindow(Form_Menu::Task::Update);
    QSignalSpy secondDone(second.data(), &TaskWindow::activationDone);
    QTest::mouseClick(menu.cmd_Update, Qt::LeftButton);
    QVERIFY(secondDone.wait(60000));
    form = qobject_cast<Form_Update *>(second.data());
    QCOMPARE(form->txt_Condition->toPlainText(), QStringLiteral("完了\n"));
    QCOMPARE(form->lab_Update->text(), QStringLiteral("2000/05/21 ->2000/05/21"));
    QTRY_COMPARE(m_web.requests().mid(before), QStringList{QStringLiteral("/20000520.html")});
    QTest::mouseClick(form->cmd_OK, Qt::LeftButton);
    QTRY_VERIFY(second.isNull());
}

QTEST_MAIN(TestFormUpdate)
#include "tst_form_update.moc"
