#include "remote/statuspage.h"

#include <QTest>

using StatusPage::Page;

namespace {

QString rec(const QString &colour, const QString &number, const QString &when = QStringLiteral("2000/05/18 21:04:33"))
{
    return QStringLiteral("<FONT COLOR='#") + colour + QStringLiteral("'>サイト名 (") + number
        + QStringLiteral(")</FONT> <FONT Size=2>") + when + QStringLiteral("</FONT><BR>\r\n");
}

// "number:code:date-time" per record, joined by "|".
QString summary(const Page &page)
{
    QStringList parts;
    for (const StatusPage::Record &r : page.records)
        parts.append((r.numberInRange ? QString::number(r.dataNumber) : QStringLiteral("over ") + r.numberText)
                     + QLatin1Char(':') + QString::number(r.methodCode) + QLatin1Char(':') + r.lastModified);
    return parts.join(QLatin1Char('|'));
}

} // namespace

class TestStatusPage : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void longPageIsParsedWhole();
    void dates_data();
    void dates();
    void readDate_data();
    void readDate();
};

void TestStatusPage::parse_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("methodIn");
    QTest::addColumn<QString>("records");
    QTest::addColumn<int>("methodOut");

    const QString t = QStringLiteral("#2000/05/18 21:04:33#");
    QTest::newRow("empty page") << QString() << 0 << QString() << 0;
    QTest::newRow("unknown colour carries the code in")
        << rec(QStringLiteral("123456"), QStringLiteral("7")) << 2 << QStringLiteral("7:2:%1").arg(t) << 2;
    QTest::newRow("number with leading zeros and blanks")
        << rec(QStringLiteral("0000FF"), QStringLiteral(" 0042")) << 0 << QStringLiteral("42:1:%1").arg(t) << 1;
    QTest::newRow("number rounds half to even")
        << rec(QStringLiteral("0000FF"), QStringLiteral("12.5")) << 0 << QStringLiteral("12:1:%1").arg(t) << 1;
    QTest::newRow("negative number")
        << rec(QStringLiteral("0000FF"), QStringLiteral("-7")) << 0 << QStringLiteral("-7:1:%1").arg(t) << 1;
    QTest::newRow("number beyond 16 bits is marked, the next record stands")
        << rec(QStringLiteral("0000FF"), QStringLiteral("40000")) + rec(QStringLiteral("00FF00"), QStringLiteral("8"))
        << 0 << QStringLiteral("over 40000):1:%1|8:2:%1").arg(t) << 2;
    QTest::newRow("colour tag at the very end")
        << QStringLiteral("<FONT COLOR='#") << 1 << QString() << 1;
    QTest::newRow("short date-time at the end")
        << QStringLiteral("<FONT COLOR='#000000'>(5)<FONT Size=2>2000/05") << 0 << QStringLiteral("5:4:#2000/05#")
        << 4;
    QTest::newRow("date tag with other case is not the date tag")
        << QStringLiteral("<FONT COLOR='#000000'>(5)<font size=2>x<FONT Size=2>2000/05/18 21:04:33") << 0
        << QStringLiteral("5:4:%1").arg(t) << 4;
    QTest::newRow("next colour tag is searched from the date-time")
        << QStringLiteral("<FONT COLOR='#0000FF'>(1)<FONT Size=2><FONT COLOR='#FF0000'>(2)<FONT Size=2>2000/05/18 21:04:33")
        << 0 << QStringLiteral("1:1:#<FONT COLOR='#FF000#|2:3:%1").arg(t) << 3;
}

void TestStatusPage::parse()
{
    QFETCH(QString, page);
    QFETCH(int, methodIn);
    QFETCH(QString, records);
    QFETCH(int, methodOut);

    const Page parsed = StatusPage::parse(page, qint16(methodIn));
    QCOMPARE(summary(parsed), records);
    QCOMPARE(int(parsed.methodCode), methodOut);
}

void TestStatusPage::longPageIsParsedWhole()
{
    // Far beyond what a 16-bit scan position could reach.
    QString page;
    for (int i = 1; i <= 2000; ++i)
        page += rec(QStringLiteral("000000"), QString::number(i));
    QVERIFY(page.size() > 100000);
    const Page parsed = StatusPage::parse(page, 0);
    QCOMPARE(parsed.records.size(), 2000);
    QCOMPARE(int(parsed.records.last().dataNumber), 2000);
}

void TestStatusPage::dates_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("url");

    QTest::newRow("single-digit month and day") << QDate(2000, 5, 2) << QStringLiteral("2000/05/02")
                                                << QStringLiteral("http://h/d/20000502.html");
    QTest::newRow("year end") << QDate(1999, 12, 31) << QStringLiteral("1999/12/31")
                              << QStringLiteral("http://h/d/19991231.html");
    QTest::newRow("first of January") << QDate(2000, 1, 1) << QStringLiteral("2000/01/01")
                                      << QStringLiteral("http://h/d/20000101.html");
    QTest::newRow("leap day") << QDate(2000, 2, 29) << QStringLiteral("2000/02/29")
                              << QStringLiteral("http://h/d/20000229.html");
}

void TestStatusPage::dates()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    QFETCH(QString, url);

    // The locale must not reach the text.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString shown = StatusPage::dateText(date);
    QLocale::setDefault(saved);
    QCOMPARE(shown, text);
    QCOMPARE(StatusPage::pageUrl(QStringLiteral("http://h/d/"), date), url);
    QCOMPARE(StatusPage::readDate(text), date);
}

void TestStatusPage::readDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");

    QTest::newRow("two-digit month and day") << QStringLiteral("2000/05/20") << QDate(2000, 5, 20);
    QTest::newRow("one-digit month and day") << QStringLiteral("2000/5/2") << QDate(2000, 5, 2);
    QTest::newRow("blanks around") << QStringLiteral(" 2000/05/20 ") << QDate(2000, 5, 20);
    QTest::newRow("empty") << QString() << QDate();
    QTest::newRow("not a date") << QStringLiteral("abc") << QDate();
    QTest::newRow("no such day") << QStringLiteral("2001/02/29") << QDate();
    QTest::newRow("two-digit year") << QStringLiteral("00/05/20") << QDate();
    QTest::newRow("trailing text") << QStringLiteral("2000/05/20x") << QDate();
}

void TestStatusPage::readDate()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(StatusPage::readDate(text), date);
}

QTEST_GUILESS_MAIN(TestStatusPage)
#include "tst_statuspage.moc"
