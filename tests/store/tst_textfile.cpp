#include "platform/runerror.h"
#include "store/textfilereader.h"
#include "store/textrules.h"
#include "store/textutil.h"

#include <QTest>

// Reads every field of bytes; "!62" stands for the failure after the last.
static QStringList allFields(TextFileReader reader)
{
    QStringList fields;
    while (reader.anythingLeft())
        fields << reader.readField();
    try {
        reader.readField();
    } catch (const RunError &error) {
        fields << QStringLiteral("!%1").arg(error.number());
    }
    return fields;
}

constexpr int kOverflow = 100000; // stands for failure 6

class TestTextFile : public QObject
{
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void numbers_data();
    void numbers();
    void pads_data();
    void pads();
    void findText_data();
    void findText();
};

// Table rows are laid out by hand.
// clang-format off
void TestTextFile::fields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("comma") << QByteArray("7,Jazz\r\n") << QStringList{"7", "Jazz", "!62"};
    QTest::newRow("quoted comma") << QByteArray("\"a,b\",c\r\n") << QStringList{"a,b", "c", "!62"};
    QTest::newRow("blanks around") << QByteArray("  x  ,  y \r\n") << QStringList{"x", "y", "!62"};
    QTest::newRow("trailing empty line") << QByteArray("7\r\n\r\n") << QStringList{"7", "", "!62"};
    QTest::newRow("lone CR and lone LF") << QByteArray("a\rb\nc") << QStringList{"a", "b", "c", "!62"};
    QTest::newRow("quote unclosed") << QByteArray("\"abc\r\n") << QStringList{"abc\r\n", "!62"};
    QTest::newRow("cut inside a character") << QByteArray("a\x83") << QStringList{"a", "!62"};
}
// clang-format on

void TestTextFile::fields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(allFields(TextFileReader::fromBytes(bytes)), expected);
    // Nothing of one file, such as half a character, spills into the next.
    QCOMPARE(allFields(TextFileReader::fromBytes("X")), QStringList({"X", "!62"}));
}

// Table rows are laid out by hand.
// clang-format off
void TestTextFile::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("leading");
    QTest::addColumn<int>("number16");
    QTest::addColumn<QString>("line"); // the number line of the leading number
    QTest::newRow("2.5 to even") << "2.5" << 2.5 << 2 << " 2.5 ";
    QTest::newRow("-2.5 to even") << "-2.5" << -2.5 << -2 << "-2.5 ";
    QTest::newRow("32768") << "32768" << 32768.0 << kOverflow << " 32768 ";
}
// clang-format on

void TestTextFile::numbers()
{
    QFETCH(QString, text);
    QFETCH(double, leading);
    QFETCH(int, number16);
    QFETCH(QString, line);
    QCOMPARE(TextRules::leadingNumber(text), leading);
    int got = kOverflow;
    try {
        got = TextRules::number16(text);
    } catch (const RunError &error) {
        QCOMPARE(error.number(), 6);
    }
    QCOMPARE(got, number16);
    QCOMPARE(TextRules::numberLine(leading), line);
}

// Table rows are laid out by hand.
// clang-format off
void TestTextFile::pads_data()
{
    QTest::addColumn<int>("number"); // Pad6 of the number, Pad2 of its text (days and months only)
    QTest::addColumn<QString>("pad6");
    QTest::addColumn<QString>("pad2");
    QTest::newRow("9") << 9 << "000009" << "09";
    QTest::newRow("10") << 10 << "000010" << "10";
    QTest::newRow("-5 loses its sign") << -5 << "000005" << "";
    QTest::newRow("-32768") << -32768 << "032768" << "";
}
// clang-format on

void TestTextFile::pads()
{
    QFETCH(int, number);
    QFETCH(QString, pad6);
    QFETCH(QString, pad2);
    QCOMPARE(TextUtil::Pad6(qint16(number)), pad6);
    if (!pad2.isEmpty())
        QCOMPARE(TextUtil::Pad2(QString::number(number)), pad2);
}

// Table rows are laid out by hand.
// clang-format off
void TestTextFile::findText_data()
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
// clang-format on

void TestTextFile::findText()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(QString, pattern);
    QFETCH(int, expected);
    QCOMPARE(TextUtil::FindText(text, start, pattern), expected);
    // Positions count from 1: there is no position 0.
    QVERIFY_THROWS_EXCEPTION(RunError, TextUtil::FindText(text, 0, pattern));
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
