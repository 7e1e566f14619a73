#include "platform/datetext.h"
#include "remote/statuspage.h"
#include "statuspages.h"

#include <QTest>

using namespace StatusPages;

class TestStatusPage : public QObject
{
    Q_OBJECT

private slots:
    // Table rows are laid out by hand.
    // clang-format off
    void parse_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("records"); // see parse()
        QTest::addColumn<int>("carriedOut");

        QTest::newRow("the four colours") << page({site(kBlue, 7), site(kGreen, 9), site(kRed, 6), site(kBlack, 12, "2000/05/19 08:15:00")})
            << QStringList{"7 2000/05/20 21:04:33 method 1", "9 2000/05/20 21:04:33 method 2",
                           "6 2000/05/20 21:04:33 method 3", "12 2000/05/19 08:15:00 method 4"} << 4;
        QTest::newRow("other colours keep the code before them") << page({site("ff0000", 1), site(kGreen, 2), site("C0C0C0", 3)})
            << QStringList{"1 2000/05/20 21:04:33 method 0", "2 2000/05/20 21:04:33 method 2", "3 2000/05/20 21:04:33 method 2"} << 2;
        QTest::newRow("a record without a date tag, then one with")
            << page({"<FONT COLOR='#00FF00'>壊れた記録 (8)</FONT><BR>\r\n", site(kBlue, 9)})
            << QStringList{"skipped: 最終更新日時のない記録を飛ばしました。", "9 2000/05/20 21:04:33 method 1"} << 1;
        QTest::newRow("brackets in names") << page({record(kBlue, "音楽(ジャズ)館"), record(kRed, "音楽(1)(ジャズ)館 (6)"),
            record(kRed, "ジャズ館 (7) (新)"), site(kBlue, 40000)}) << QStringList{"skipped: データ番号のない記録を飛ばしました。",
            "6 2000/05/20 21:04:33 method 3", "7 2000/05/20 21:04:33 method 3", "out of range: 40000)"} << 1;
        QTest::newRow("a line break or a comma in the date-time")
            << page({site(kBlue, 5, "2000/05\r\n/20 21:04:3"), site(kBlue, 6, "2000/05/20 21,04:33")})
            << QStringList{"skipped: 000005 最終更新日時が読めないため飛ばしました。", "skipped: 000006 最終更新日時が読めないため飛ばしました。"} << 1;
    }
    // clang-format on

    // Each record as "<data number> <last update> method <code>", or why it writes no file.
    void parse()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, records);
        QFETCH(int, carriedOut);
        const StatusPage::Page parsed = StatusPage::parse(page, 0);
        QStringList read;
        for (const StatusPage::Record &r : parsed.records)
            read << (!r.skipped.isEmpty() ? "skipped: " + r.skipped
                         : !r.numberInRange
                         ? "out of range: " + r.numberText
                         : QStringLiteral("%1 %2 method %3").arg(r.dataNumber).arg(r.lastModified).arg(r.methodCode));
        QCOMPARE(read, records);
        QCOMPARE(parsed.methodCode, carriedOut);
    }

    // Stored days are read back whatever their blanks and digits, and written with two-digit months and days; a
    // year before 1601 or a month 13 is no day.
    void dates()
    {
        QStringList read;
        for (const char *stored : {" 2000/5/8 ", "1601/01/01", "0001/01/01", "2000/13/01"}) {
            const QDate day = DateText::read(stored);
            read << (day.isValid() ? DateText::format(day) + ' ' + StatusPage::pageUrl("http://a.example/d/", day)
                                   : "no day");
        }
        QCOMPARE(read,
                 QStringList({"2000/05/08 http://a.example/d/20000508.html",
                              "1601/01/01 http://a.example/d/16010101.html", "no day", "no day"}));
    }
};

QTEST_GUILESS_MAIN(TestStatusPage)
#include "tst_statuspage.moc"
