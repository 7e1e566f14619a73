#include "platform/datetext.h"
#include "remote/statuspage.h"
#include "statuspages.h"

#include <QTest>

using namespace StatusPages;

class TestStatusPage : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void dates_data();
    void dates();
};

// Table rows are laid out by hand.
// clang-format off
void TestStatusPage::parse_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("carriedIn"); // the method code the previous page ended with
    QTest::addColumn<QStringList>("records"); // see parse()
    QTest::addColumn<int>("carriedOut");

    QTest::newRow("the four colours") << page({site(kBlue, 7), site(kGreen, 9), site(kRed, 6), site(kBlack, 12, "2000/05/19 08:15:00")}) << 0
        << QStringList{"7 2000/05/20 21:04:33 method 1", "9 2000/05/20 21:04:33 method 2",
                       "6 2000/05/20 21:04:33 method 3", "12 2000/05/19 08:15:00 method 4"} << 4;
    QTest::newRow("other colours keep the code before them") << page({site("ff0000", 1), site(kGreen, 2), site("C0C0C0", 3)}) << 4
        << QStringList{"1 2000/05/20 21:04:33 method 4", "2 2000/05/20 21:04:33 method 2", "3 2000/05/20 21:04:33 method 2"} << 2;
    QTest::newRow("a record without a date tag, then one with")
        << page({"<FONT COLOR='#00FF00'>壊れた記録 (8)</FONT><BR>\r\n", site(kBlue, 9)}) << 0
        << QStringList{"skipped: 最終更新日時のない記録を飛ばしました。", "9 2000/05/20 21:04:33 method 1"} << 1;
    QTest::newRow("no data number") << page({record(kBlue, "音楽(ジャズ)館")}) << 0
        << QStringList{"skipped: データ番号のない記録を飛ばしました。"} << 1;
    QTest::newRow("brackets in the name before the number") << page({record(kRed, "音楽(1)(ジャズ)館 (6)")}) << 0
        << QStringList{"6 2000/05/20 21:04:33 method 3"} << 3;
    QTest::newRow("a bracket without digits after the number") << page({record(kRed, "ジャズ館 (7) (新)")}) << 0
        << QStringList{"7 2000/05/20 21:04:33 method 3"} << 3;
    QTest::newRow("a number beyond 16 bits") << page({site(kBlue, 40000)}) << 0 << QStringList{"out of range: 40000)"} << 1;
    QTest::newRow("a line break in the date-time") << page({site(kBlue, 5, "2000/05\r\n/20 21:04:3")}) << 0
        << QStringList{"skipped: 000005 最終更新日時が読めないため飛ばしました。"} << 1;
    QTest::newRow("a comma in the date-time") << page({site(kBlue, 5, "2000/05/20 21,04:33")}) << 0
        << QStringList{"skipped: 000005 最終更新日時が読めないため飛ばしました。"} << 1;
}
// clang-format on

// Each record as "<data number> <last update> method <code>", or why it writes no file.
void TestStatusPage::parse()
{
    QFETCH(QString, page);
    QFETCH(int, carriedIn);
    QFETCH(QStringList, records);
    QFETCH(int, carriedOut);
    const StatusPage::Page parsed = StatusPage::parse(page, qint16(carriedIn));
    QStringList read;
    for (const StatusPage::Record &record : parsed.records) {
        if (!record.skipped.isEmpty())
            read << "skipped: " + record.skipped;
        else if (!record.numberInRange)
            read << "out of range: " + record.numberText;
        else
            read << QStringLiteral("%1 %2 method %3")
                        .arg(record.dataNumber)
                        .arg(record.lastModified)
                        .arg(record.methodCode);
    }
    QCOMPARE(read, records);
    QCOMPARE(parsed.methodCode, carriedOut);
}

// Table rows are laid out by hand.
// clang-format off
void TestStatusPage::dates_data()
{
    QTest::addColumn<QString>("stored"); // a stored next day
    QTest::addColumn<QString>("dateText"); // the day read, as written back; empty: no day
    QTest::addColumn<QString>("pageUrl");  // its page under http://a.example/d/

    QTest::newRow("one-digit month and day, blanks around") << " 2000/5/8 " << "2000/05/08" << "http://a.example/d/20000508.html";
    QTest::newRow("the first year that reads back") << "1601/01/01" << "1601/01/01" << "http://a.example/d/16010101.html";
    QTest::newRow("year 1") << "0001/01/01" << "" << "";
    QTest::newRow("month 13") << "2000/13/01" << "" << "";
}
// clang-format on

void TestStatusPage::dates()
{
    QFETCH(QString, stored);
    QFETCH(QString, dateText);
    QFETCH(QString, pageUrl);
    const QDate day = DateText::read(stored);
    QCOMPARE(day.isValid() ? DateText::format(day) : QString(), dateText);
    QCOMPARE(day.isValid() ? StatusPage::pageUrl("http://a.example/d/", day) : QString(), pageUrl);
}

QTEST_GUILESS_MAIN(TestStatusPage)
#include "tst_statuspage.moc"
