#include "platform/runerror.h"
#include "store/textfilereader.h"
#include "store/textrules.h"
#include "store/textutil.h"
#include "testenv.h"

#include <QTest>

class TestTextFile : public QObject
{
    Q_OBJECT

private slots:
    // Table rows are laid out by hand.
    // clang-format off
    void fields_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected"); // every field up to the end
        QTest::newRow("quoted comma") << QByteArray("\"a,b\",c\r\n") << QStringList{"a,b", "c"};
        QTest::newRow("blanks around") << QByteArray("  x  ,  y \r\n") << QStringList{"x", "y"};
        QTest::newRow("trailing empty line") << QByteArray("7\r\n\r\n") << QStringList{"7", ""};
        QTest::newRow("lone CR and lone LF") << QByteArray("a\rb\nc") << QStringList{"a", "b", "c"};
        QTest::newRow("quote unclosed") << QByteArray("\"abc\r\n") << QStringList{"abc\r\n"};
        QTest::newRow("cut inside a character") << QByteArray("a\x83") << QStringList{"a"};
    }
    // clang-format on

    void fields()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        TextFileReader reader = TextFileReader::fromBytes(bytes);
        QStringList read;
        while (reader.anythingLeft())
            read << reader.readField();
        QCOMPARE(read, expected);
        QCOMPARE(failureOf([&] { reader.readField(); }), RunError::PastEnd);
        // Nothing of one file, such as half a character, spills into the next.
        QCOMPARE(TextFileReader::fromBytes("X").readField(), "X");
    }

    // Halves go to even and 16 bits end at 32767; a number line has a blank where the sign is not, and one after;
    // pads are six digits without the sign, two for days and months.
    void numbers()
    {
        QCOMPARE(QList<int>({TextRules::number16(u"2.5"), TextRules::number16(u"-2.5"), TextRules::number16(u"32767")}),
                 QList<int>({2, -2, 32767}));
        QCOMPARE(failureOf([] { TextRules::number16(u"32768"); }), RunError::Overflow);
        QCOMPARE(QStringList({TextRules::numberLine(2.5), TextRules::numberLine(-2.5)}),
                 QStringList({" 2.5 ", "-2.5 "}));
        QCOMPARE(QStringList({TextUtil::Pad6(9), TextUtil::Pad6(-32768), TextUtil::Pad2("9"), TextUtil::Pad2("10")}),
                 QStringList({"000009", "032768", "09", "10"}));
    }

    // clang-format off
    void findText_data()
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

    void findText()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(QString, pattern);
        QFETCH(int, expected);
        QCOMPARE(TextUtil::FindText(text, start, pattern), expected);
        // Positions count from 1: there is no position 0.
        QCOMPARE(failureOf([&] { TextUtil::FindText(text, 0, pattern); }), RunError::InvalidArgument);
    }
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
