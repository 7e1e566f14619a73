#include "platform/runerror.h"
#include "store/textutil.h"

#include <QTest>

class TestTextUtil : public QObject
{
    Q_OBJECT

private slots:
    void pad6_data();
    void pad6();
    void findText_data();
    void findText();
    void findTextBelowOneIsInvalid();
    void findTextBeyond32767();
    void pad2_data();
    void pad2();
};

void TestTextUtil::pad6_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0 << "000000";
    QTest::newRow("5") << 5 << "000005";
    QTest::newRow("123") << 123 << "000123";
    QTest::newRow("32767") << 32767 << "032767";
    QTest::newRow("-5 loses its sign") << -5 << "000005";
    QTest::newRow("-32768") << -32768 << "032768";
}

void TestTextUtil::pad6()
{
    QFETCH(int, number);
    QFETCH(QString, expected);
    QCOMPARE(TextUtil::Pad6(qint16(number)), expected);
}

void TestTextUtil::findText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("expected");
    QTest::newRow("first match") << "abcabc" << 1 << "bc" << 2;
    QTest::newRow("from the start position") << "abcabc" << 3 << "bc" << 5;
    QTest::newRow("one character in the last position") << "abcabc" << 6 << "c" << 6;
    QTest::newRow("absent") << "abcabc" << 1 << "x" << -1;
    QTest::newRow("shortened piece at the end") << "abc" << 2 << "cd" << -1;
    QTest::newRow("empty pattern at the start") << "abc" << 1 << "" << 1;
    QTest::newRow("empty pattern beyond the end") << "abc" << 5 << "" << 5;
    QTest::newRow("start beyond the end") << "abc" << 5 << "b" << -1;
    QTest::newRow("empty text") << "" << 1 << "b" << -1;
    QTest::newRow("case matters") << "aBc" << 1 << "b" << -1;
    QTest::newRow("Japanese counts characters") << "更新情報<FONT" << 1 << "<FONT" << 5;
}

void TestTextUtil::findText()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(QString, pattern);
    QFETCH(int, expected);
    QCOMPARE(TextUtil::FindText(text, start, pattern), expected);
}

void TestTextUtil::findTextBelowOneIsInvalid()
{
    for (int start : {0, -1}) {
        try {
            TextUtil::FindText(QStringLiteral("abc"), start, QStringLiteral("a"));
            QFAIL("no failure");
        } catch (const RunError &error) {
            QCOMPARE(error.number(), 5);
        }
    }
}

void TestTextUtil::findTextBeyond32767()
{
    // A long page is searched whole, past any 16-bit position.
    const QString text = QString(40000, QLatin1Char('x')) + QStringLiteral("(12");
    QCOMPARE(TextUtil::FindText(text, 1, QStringLiteral("(")), 40001);
    QCOMPARE(TextUtil::FindText(text, 35000, QStringLiteral("12")), 40002);
}

void TestTextUtil::pad2_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1") << "1" << "01";
    QTest::newRow("9") << "9" << "09";
    QTest::newRow("10") << "10" << "10";
    QTest::newRow("31") << "31" << "31";
    QTest::newRow("empty") << "" << "0";
}

void TestTextUtil::pad2()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TextUtil::Pad2(text), expected);
}

QTEST_GUILESS_MAIN(TestTextUtil)
#include "tst_textutil.moc"
