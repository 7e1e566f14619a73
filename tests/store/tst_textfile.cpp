#include "platform/runerror.h"
#include "store/textfile.h"
#include "testenv.h"

#include <QTest>

// Reads every field of bytes; "!62" stands for the failure after the last.
static QStringList allFields(const QByteArray &bytes)
{
    TextFileReader reader = TextFileReader::fromBytes(bytes);
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

class TestTextFile : public QObject
{
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void leadingNumber_data();
    void leadingNumber();
    void number16_data();
    void number16();
    void numberLine_data();
    void numberLine();
    void writtenLinesReadBack();
    void japaneseRoundTrip();
    void openFailures_data();
    void openFailures();
    void replaceLeavesOldFileOnAbandon();
    void readOnlyDirectory();
};

void TestTextFile::fields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    const QString past = QStringLiteral("!62");
    QTest::newRow("comma") << QByteArray("7,Jazz\r\n") << QStringList{"7", "Jazz", past};
    QTest::newRow("quoted comma") << QByteArray("\"a,b\",c\r\n") << QStringList{"a,b", "c", past};
    QTest::newRow("blanks around") << QByteArray("  x  ,  y \r\n") << QStringList{"x", "y", past};
    QTest::newRow("blank-only line") << QByteArray("   \r\n") << QStringList{"", past};
    QTest::newRow("empty line") << QByteArray("\r\n") << QStringList{"", past};
    QTest::newRow("trailing empty line") << QByteArray("7\r\n\r\n") << QStringList{"7", "", past};
    QTest::newRow("lone CR and lone LF") << QByteArray("a\rb\nc") << QStringList{"a", "b", "c", past};
    QTest::newRow("no final line end") << QByteArray("a") << QStringList{"a", past};
    QTest::newRow("empty file") << QByteArray() << QStringList{past};
    QTest::newRow("quoted then rest skipped") << QByteArray("\"a\" junk,b\r\n") << QStringList{"a", "b", past};
    QTest::newRow("quoted blanks kept") << QByteArray("\" a \"\r\n") << QStringList{" a ", past};
    QTest::newRow("quote unclosed") << QByteArray("\"abc\r\n") << QStringList{"abc\r\n", past};
    QTest::newRow("quote inside a field") << QByteArray("ab\"c,d") << QStringList{"ab\"c", "d", past};
    QTest::newRow("sentinel in quotes") << QByteArray("\"<END>\"\r\n") << QStringList{"<END>", past};
    QTest::newRow("comma at line end") << QByteArray("a,\r\nb") << QStringList{"a", "", "b", past};
}

void TestTextFile::fields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(allFields(bytes), expected);
}

void TestTextFile::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("12 and a blank") << "12 " << 12.0;
    QTest::newRow("zero padded") << "000007" << 7.0;
    QTest::newRow("fraction") << "1.5" << 1.5;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("blank then minus") << " -7 " << -7.0;
    QTest::newRow("stops at letters") << "2000/05/20" << 2000.0;
    QTest::newRow("title after digits") << "000012 1999 Jazz" << 12.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("fraction only") << ".5" << 0.5;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("full-width digits are not digits") << "１２" << 0.0;
}

void TestTextFile::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(TextRules::leadingNumber(text), expected);
}

void TestTextFile::number16_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1000000: overflow
    QTest::newRow("2.5 to even") << "2.5" << 2;
    QTest::newRow("3.5 to even") << "3.5" << 4;
    QTest::newRow("-2.5 to even") << "-2.5" << -2;
    QTest::newRow("7.4") << "7.4" << 7;
    QTest::newRow("32767") << "32767" << 32767;
    QTest::newRow("-32768") << "-32768" << -32768;
    QTest::newRow("32767.5 rounds out") << "32767.5" << -1000000;
    QTest::newRow("32768") << "32768" << -1000000;
    QTest::newRow("-32769") << "-32769" << -1000000;
    QTest::newRow("huge") << QString(400, QLatin1Char('9')) << -1000000;
    QTest::newRow("not a number") << "abc" << 0;
}

void TestTextFile::number16()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    try {
        const int value = TextRules::number16(text);
        QCOMPARE(value, expected);
    } catch (const RunError &error) {
        QCOMPARE(error.number(), 6);
        QCOMPARE(expected, -1000000);
    }
}

void TestTextFile::numberLine_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("7") << 7.0 << " 7 ";
    QTest::newRow("-7") << -7.0 << "-7 ";
    QTest::newRow("0") << 0.0 << " 0 ";
    QTest::newRow("7.5") << 7.5 << " 7.5 ";
    QTest::newRow("32768") << 32768.0 << " 32768 ";
}

void TestTextFile::numberLine()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(TextRules::numberLine(value), expected);
}

void TestTextFile::writtenLinesReadBack()
{
    TestEnv env;
    TextFileWriter writer(env.path(QStringLiteral("f.txt")), TextFileWriter::Mode::Write);
    writer.writeNumberLine(12);
    writer.writeTextLine(QString());
    writer.writeTextLine(QStringLiteral("last"));
    writer.close();
    QCOMPARE(env.readBytes(QStringLiteral("f.txt")), QByteArray(" 12 \r\n\r\nlast\r\n"));

    TextFileReader reader(env.path(QStringLiteral("f.txt")));
    QCOMPARE(TextRules::number16(reader.readField()), qint16(12));
    QCOMPARE(reader.readField(), QString());
    QCOMPARE(reader.readField(), QStringLiteral("last"));
    QVERIFY(!reader.anythingLeft());

    TextFileWriter append(env.path(QStringLiteral("f.txt")), TextFileWriter::Mode::Append);
    append.writeTextLine(QStringLiteral("more"));
    append.close();
    QCOMPARE(env.readBytes(QStringLiteral("f.txt")), QByteArray(" 12 \r\n\r\nlast\r\nmore\r\n"));
}

void TestTextFile::japaneseRoundTrip()
{
    TestEnv env;
    const QString text = QStringLiteral("ジャズ～①髙 -> 音楽");
    TextFileWriter writer(env.path(QStringLiteral("j.txt")), TextFileWriter::Mode::Replace);
    writer.writeTextLine(text);
    writer.close();
    // Code page 932 bytes: ～ is 8160, ① is 8740, 髙 is FBFC.
    QVERIFY(env.readBytes(QStringLiteral("j.txt")).startsWith(QByteArray::fromHex("83578383835981608740fbfc")));
    TextFileReader reader(env.path(QStringLiteral("j.txt")));
    const QString field = reader.readField();
    QCOMPARE(field, text);
    QCOMPARE(field.size(), 12); // characters, not bytes

    // A file cut off inside a character does not spill into the next one.
    QCOMPARE(TextRules::decode(QByteArray("a\x83")).left(1), QStringLiteral("a"));
    QCOMPARE(TextRules::decode(QByteArray("X")), QStringLiteral("X"));
}

void TestTextFile::openFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("expected");
    QTest::newRow("missing file") << "nothere.txt" << 53;
    QTest::newRow("missing directory") << "nodir/file.txt" << 76;
    QTest::newRow("a directory") << "adir" << 75;
}

void TestTextFile::openFailures()
{
    QFETCH(QString, name);
    QFETCH(int, expected);
    TestEnv env;
    env.makeDir(QStringLiteral("adir"));
    try {
        TextFileReader reader(env.path(name));
        QFAIL("opened");
    } catch (const RunError &error) {
        QCOMPARE(error.number(), expected);
    }
    if (expected == 76) {
        try {
            TextFileWriter writer(env.path(name), TextFileWriter::Mode::Write);
            QFAIL("created");
        } catch (const RunError &error) {
            QCOMPARE(error.number(), 76);
        }
    }
}

void TestTextFile::replaceLeavesOldFileOnAbandon()
{
    TestEnv env;
    env.writeBytes(QStringLiteral("r.txt"), "old\r\n");
    {
        TextFileWriter writer(env.path(QStringLiteral("r.txt")), TextFileWriter::Mode::Replace);
        writer.writeTextLine(QStringLiteral("new"));
        // destroyed without close(), as when a failure unwinds
    }
    QCOMPARE(env.readBytes(QStringLiteral("r.txt")), QByteArray("old\r\n"));
}

void TestTextFile::readOnlyDirectory()
{
    TestEnv env;
    env.writeBytes(QStringLiteral("r.txt"), "old\r\n");
    ReadOnlyDir readOnly(env.dir());
    for (auto mode : {TextFileWriter::Mode::Replace, TextFileWriter::Mode::Write}) {
        try {
            TextFileWriter writer(env.path(QStringLiteral("r.txt")), mode);
            writer.writeTextLine(QStringLiteral("new"));
            writer.close();
            QFAIL("written");
        } catch (const RunError &error) {
            QCOMPARE(error.number(), 70);
        }
    }
    QCOMPARE(env.readBytes(QStringLiteral("r.txt")), QByteArray("old\r\n"));
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
