#include "browse/pagesfile.h"
#include "platform/runerror.h"
#include "testenv.h"

#include <QTest>

class TestPagesFile : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void readUnreadableFile();
    void dataNumber_data();
    void dataNumber();
    void write_data();
    void write();
};

void TestPagesFile::read_data()
{
    QTest::addColumn<QString>("text"); // null: no file
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("no file yet") << QString() << 0 << QStringList();
    QTest::newRow("empty list") << QStringLiteral(" 0 \r\n") << 0 << QStringList();
    QTest::newRow("empty file") << QStringLiteral("") << 0 << QStringList();
    QTest::newRow("two entries")
        << QStringLiteral(" 2 \r\n000007 Jazz Corner\r\n000012 Blue Notes\r\n") << 2
        << QStringList{QStringLiteral("000007 Jazz Corner"), QStringLiteral("000012 Blue Notes")};
    QTest::newRow("trailing blanks lost")
        << QStringLiteral(" 1 \r\n000007 Jazz   \r\n") << 1 << QStringList{QStringLiteral("000007 Jazz")};
    QTest::newRow("comma gives two fields")
        << QStringLiteral(" 1 \r\n000012 Blue, Notes\r\n") << 1
        << QStringList{QStringLiteral("000012 Blue"), QStringLiteral("Notes")};
    QTest::newRow("empty title") << QStringLiteral(" 1 \r\n000005 \r\n") << 1 << QStringList{QStringLiteral("000005")};
    QTest::newRow("file order kept")
        << QStringLiteral(" 2 \r\n000012 B\r\n000007 A\r\n") << 2
        << QStringList{QStringLiteral("000012 B"), QStringLiteral("000007 A")};
    QTest::newRow("more entries than count")
        << QStringLiteral(" 1 \r\n000001 A\r\n000002 B\r\n") << 1
        << QStringList{QStringLiteral("000001 A"), QStringLiteral("000002 B")};
    QTest::newRow("count beyond 16 bits")
        << QStringLiteral("99999\r\n000001 A\r\n") << 0 << QStringList{QStringLiteral("000001 A")};
    QTest::newRow("entry beyond 16 bits skipped")
        << QStringLiteral(" 2 \r\n099999 Far\r\n000001 A\r\n") << 2 << QStringList{QStringLiteral("000001 A")};
    QTest::newRow("blank lines skipped")
        << QStringLiteral(" 1 \r\n\r\n000001 A\r\n\r\n") << 1 << QStringList{QStringLiteral("000001 A")};
}

void TestPagesFile::read()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QStringList, entries);

    TestEnv env;
    if (!text.isNull())
        env.writeText(QStringLiteral("pages.udf"), text);
    const PagesFile::Contents contents = PagesFile::read(env.dir());
    QCOMPARE(contents.count, count);
    QCOMPARE(contents.entries, entries);
}

void TestPagesFile::readUnreadableFile()
{
    // Not an empty list: the browser would overwrite what it could not read.
    TestEnv env;
    env.makeDir(QStringLiteral("pages.udf"));
    QVERIFY_THROWS_EXCEPTION(RunError, PagesFile::read(env.dir()));
}

void TestPagesFile::dataNumber_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("number");

    QTest::newRow("plain") << QStringLiteral("000012 Blue Notes") << 12;
    QTest::newRow("title begins with digits") << QStringLiteral("000012 2000 Review") << 12;
    QTest::newRow("title begins with a fraction") << QStringLiteral("000012 .75 Club") << 12;
    QTest::newRow("no leading number") << QStringLiteral("Notes") << 0;
    QTest::newRow("beyond 16 bits") << QStringLiteral("099999 Far") << -1;
}

void TestPagesFile::dataNumber()
{
    QFETCH(QString, entry);
    QFETCH(int, number);

    if (number < 0) {
        try {
            PagesFile::dataNumber(entry);
            QFAIL("no overflow");
        } catch (const RunError &error) {
            QCOMPARE(error.number(), int(RunError::Overflow));
        }
        return;
    }
    QCOMPARE(int(PagesFile::dataNumber(entry)), number);
}

void TestPagesFile::write_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty list is the count line alone") << QStringList() << QByteArray(" 0 \r\n");
    QTest::newRow("ascending whatever the order given")
        << QStringList{QStringLiteral("000012 B"), QStringLiteral("000003 C"), QStringLiteral("000007 A")}
        << QByteArray(" 3 \r\n000003 C\r\n000007 A\r\n000012 B\r\n");
    QTest::newRow("title as held, windows-31j")
        << QStringList{QStringLiteral("000003 音楽, \"Jazz\"  ")} << QByteArray(" 1 \r\n" + sjis(QStringLiteral("000003 音楽, \"Jazz\"  ")) + "\r\n");
}

void TestPagesFile::write()
{
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, bytes);

    TestEnv env;
    env.writeText(QStringLiteral("pages.udf"), QStringLiteral(" 9 \r\n000001 old\r\n000002 longer than the new file\r\n"));
    PagesFile::write(env.dir(), entries);
    QCOMPARE(env.readBytes(QStringLiteral("pages.udf")), bytes);
}

QTEST_GUILESS_MAIN(TestPagesFile)
#include "tst_pagesfile.moc"
