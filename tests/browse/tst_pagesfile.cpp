#include "browse/pagesfile.h"
#include "testenv.h"

#include <QTest>

// Writing is checked byte for byte through the browser, its only writer.
class TestPagesFile : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
};

void TestPagesFile::read_data()
{
    QTest::addColumn<QString>("text");     // null: no file
    QTest::addColumn<QStringList>("read"); // each entry "=" the digits of the site files it names

    QTest::newRow("no file yet") << QString() << QStringList();
    QTest::newRow("file order, more entries than the count") << " 1 \r\n000012 B\r\n000007 A\r\n"
                                                             << QStringList{"000012 B=000012", "000007 A=000007"};
    QTest::newRow("comma gives two fields") << " 1 \r\n000012 Blue, Notes\r\n"
                                            << QStringList{"000012 Blue=000012", "Notes=000000"};
    QTest::newRow("kept as they stand") << "99999\r\n\r\n099999 Far\r\n-00007 Minus\r\n"
                                        << QStringList{"=000000", "099999 Far=099999", "-00007 Minus=000007"};
}

void TestPagesFile::read()
{
    QFETCH(QString, text);
    QFETCH(QStringList, read);

    TestEnv env;
    if (!text.isNull())
        env.writeText(QStringLiteral("pages.udf"), text);
    QStringList entries;
    for (const QString &entry : PagesFile::read(env.dir()).entries)
        entries << entry + QLatin1Char('=') + PagesFile::siteDigits(entry);
    QCOMPARE(entries, read);
}

QTEST_GUILESS_MAIN(TestPagesFile)
#include "tst_pagesfile.moc"
