#include "store/textutil.h"

#include <QTest>

class TestTextUtil : public QObject
{
    Q_OBJECT

private slots:
    void pads_data();
    void pads();
    void findText_data();
    void findText();
};

void TestTextUtil::pads_data()
{
    QTest::addColumn<int>("number"); // Pad6 of the number, Pad2 of its text (days and months only)
    QTest::addColumn<QString>("pad6");
    QTest::addColumn<QString>("pad2");
    QTest::newRow("9") << 9 << "000009" << "09";
    QTest::newRow("10") << 10 << "000010" << "10";
    QTest::newRow("32767") << 32767 << "032767" << "32767";
    QTest::newRow("-5 loses its sign") << -5 << "000005" << "";
    QTest::newRow("-32768") << -32768 << "032768" << "";
}

void TestTextUtil::pads()
{
    QFETCH(int, number);
    QFETCH(QString, pad6);
    QFETCH(QString, pad2);
    QCOMPARE(TextUtil::Pad6(qint16(number)), pad6);
    if (!pad2.isEmpty())
        QCOMPARE(TextUtil::Pad2(QString::number(number)), pad2);
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
    QTest::newRow("empty pattern beyond the end") << "abc" << 5 << "" << 5;
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

QTEST_GUILESS_MAIN(TestTextUtil)
#include "tst_textutil.moc"
