#include "platform/runerror.h"
#include "store/textfile.h"
#include "testenv.h"

#include <QTest>

#include <memory>

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
    void files_data();
    void files();
    void codePage();
};

void TestTextFile::fields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("comma") << QByteArray("7,Jazz\r\n") << QStringList{"7", "Jazz", "!62"};
    QTest::newRow("quoted comma") << QByteArray("\"a,b\",c\r\n") << QStringList{"a,b", "c", "!62"};
    QTest::newRow("blanks around") << QByteArray("  x  ,  y \r\n") << QStringList{"x", "y", "!62"};
    QTest::newRow("blank-only line") << QByteArray("   \r\n") << QStringList{"", "!62"};
    QTest::newRow("empty line") << QByteArray("\r\n") << QStringList{"", "!62"};
    QTest::newRow("trailing empty line") << QByteArray("7\r\n\r\n") << QStringList{"7", "", "!62"};
    QTest::newRow("lone CR and lone LF") << QByteArray("a\rb\nc") << QStringList{"a", "b", "c", "!62"};
    QTest::newRow("empty file") << QByteArray() << QStringList{"!62"};
    QTest::newRow("quoted then rest skipped") << QByteArray("\"a\" junk,b\r\n") << QStringList{"a", "b", "!62"};
    QTest::newRow("quoted blanks kept") << QByteArray("\" a \"\r\n") << QStringList{" a ", "!62"};
    QTest::newRow("quote unclosed") << QByteArray("\"abc\r\n") << QStringList{"abc\r\n", "!62"};
    QTest::newRow("quote inside a field") << QByteArray("ab\"c,d") << QStringList{"ab\"c", "d", "!62"};
    QTest::newRow("comma at line end") << QByteArray("a,\r\nb") << QStringList{"a", "", "b", "!62"};
    QTest::newRow("cut inside a character") << QByteArray("a\x83") << QStringList{"a", "!62"};
}

void TestTextFile::fields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(allFields(TextFileReader::fromBytes(bytes)), expected);
    // Nothing of one file, such as half a character, spills into the next.
    QCOMPARE(allFields(TextFileReader::fromBytes("X")), QStringList({"X", "!62"}));
}

void TestTextFile::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("leading");
    QTest::addColumn<int>("number16");
    QTest::addColumn<QString>("line"); // the number line of the leading number
    QTest::newRow("12 and a blank") << "12 " << 12.0 << 12 << " 12 ";
    QTest::newRow("zero padded") << "000007" << 7.0 << 7 << " 7 ";
    QTest::newRow("blank then minus") << " -7 " << -7.0 << -7 << "-7 ";
    QTest::newRow("letters") << "abc" << 0.0 << 0 << " 0 ";
    QTest::newRow("empty") << "" << 0.0 << 0 << " 0 ";
    QTest::newRow("full-width digits") << "１２" << 0.0 << 0 << " 0 ";
    QTest::newRow("stops at the slash") << "2000/05/20" << 2000.0 << 2000 << " 2000 ";
    QTest::newRow("1.5 to even") << "1.5" << 1.5 << 2 << " 1.5 ";
    QTest::newRow("2.5 to even") << "2.5" << 2.5 << 2 << " 2.5 ";
    QTest::newRow("-2.5 to even") << "-2.5" << -2.5 << -2 << "-2.5 ";
    QTest::newRow("fraction only") << ".5" << 0.5 << 0 << " 0.5 ";
    QTest::newRow("-32768") << "-32768" << -32768.0 << -32768 << "-32768 ";
    QTest::newRow("32767.5 rounds out") << "32767.5" << 32767.5 << kOverflow << " 32767.5 ";
    QTest::newRow("32768") << "32768" << 32768.0 << kOverflow << " 32768 ";
    QTest::newRow("-32769") << "-32769" << -32769.0 << kOverflow << "-32769 ";
    QTest::newRow("beyond double") << QString(400, QLatin1Char('9')) << qInf() << kOverflow << QString();
}

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
    if (!line.isNull())
        QCOMPARE(TextRules::numberLine(leading), line);
}

// A row of files_data(): r.txt holds "old" CR LF before and the bytes after;
// it reads back as the fields.
void row(const char *name, const QString &action, const QStringList &lines, int error,
         const QByteArray &bytes = "old\r\n", const QStringList &fields = {"old", "!62"})
{
    QTest::newRow(name) << action << lines << error << bytes << fields;
}

void TestTextFile::files_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("lines"); // "#12" is a number line
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");
    const QString japanese = QStringLiteral("ジャズ～①髙 -> 音楽");
    // Code page 932: ～ is 8160, ① is 8740, 髙 is FBFC.
    const QByteArray cp932 = QByteArray::fromHex("83578383835981608740fbfc202d3e2089b98a79") + "\r\n";
    row("number, empty and text lines", "write", {"#12", "", "last"}, 0, " 12 \r\n\r\nlast\r\n",
        {"12", "", "last", "!62"});
    row("append", "append", {"more"}, 0, "old\r\nmore\r\n", {"old", "more", "!62"});
    row("Japanese, replaced", "replace", {japanese}, 0, cp932, {japanese, "!62"});
    row("replace abandoned", "abandon", {"new"}, 0);
    row("read-only directory, replace", "read-only replace", {"new"}, 70);
    row("read-only directory, write", "read-only write", {"new"}, 70);
    row("read a missing file", "read nothere.txt", {}, 53);
    row("read in a missing directory", "read nodir/file.txt", {}, 76);
    row("write in a missing directory", "write nodir/file.txt", {}, 76);
    row("read a directory", "read adir", {}, 75);
}

// action: "read", "write", "append", "replace" or "abandon" (a replace
// destroyed unclosed, as when a failure unwinds), then the file if not r.txt;
// "read-only ..." in a read-only directory.
void TestTextFile::files()
{
    QFETCH(QString, action);
    QFETCH(QStringList, lines);
    QFETCH(int, error);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    TestEnv env;
    env.writeBytes(QStringLiteral("r.txt"), "old\r\n");
    env.makeDir(QStringLiteral("adir"));
    QStringList words = action.split(' ');
    std::unique_ptr<ReadOnlyDir> readOnly;
    if (words.first() == "read-only") {
        words.removeFirst();
        readOnly = std::make_unique<ReadOnlyDir>(env.dir());
    }
    const QString path = env.path(words.value(1, QStringLiteral("r.txt")));
    int got = 0;
    try {
        if (words.first() == "read") {
            TextFileReader reader(path);
        } else {
            TextFileWriter writer(path, words.first() == "write"    ? TextFileWriter::Mode::Write
                                        : words.first() == "append" ? TextFileWriter::Mode::Append
                                                                    : TextFileWriter::Mode::Replace);
            for (const QString &line : lines)
                line.startsWith('#') ? writer.writeNumberLine(line.mid(1).toDouble()) : writer.writeTextLine(line);
            if (words.first() != "abandon")
                writer.close();
        }
    } catch (const RunError &failure) {
        got = failure.number();
    }
    readOnly.reset();
    QCOMPARE(got, error);
    QCOMPARE(env.readBytes(QStringLiteral("r.txt")), bytes);
    QCOMPARE(allFields(TextFileReader(env.path(QStringLiteral("r.txt")))), fields);
}

// Start-up refuses to run without the converter; the settings refuse what it cannot carry.
void TestTextFile::codePage()
{
    QVERIFY(TextRules::codePageAvailable() && !TextRules::codePageAvailable("no-such-code-page"));
    QVERIFY(TextRules::fitsCodePage(u"ジャズ～①髙") && !TextRules::fitsCodePage(u"€"));
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
