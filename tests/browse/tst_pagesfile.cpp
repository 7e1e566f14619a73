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
    QTest::addColumn<QStringList>("read"); // each entry "=" its data number

    QTest::newRow("no file yet") << QString() << QStringList();
    QTest::newRow("empty file") << QStringLiteral("") << QStringList();
    QTest::newRow("file order, more entries than the count") << " 1 \r\n000012 B\r\n000007 A\r\n"
                                                             << QStringList{"000012 B=12", "000007 A=7"};
    QTest::newRow("trailing blanks lost") << " 1 \r\n000007 Jazz   \r\n" << QStringList{"000007 Jazz=7"};
    QTest::newRow("comma gives two fields") << " 1 \r\n000012 Blue, Notes\r\n"
                                            << QStringList{"000012 Blue=12", "Notes=0"};
    QTest::newRow("title beginning with digits") << " 2 \r\n000012 2000 Review\r\n000013 .75 Club\r\n"
                                                 << QStringList{"000012 2000 Review=12", "000013 .75 Club=13"};
    QTest::newRow("beyond 16 bits skipped, blank lines too") << "99999\r\n\r\n099999 Far\r\n000001 A\r\n"
                                                             << QStringList{"000001 A=1"};
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
        entries << entry + QLatin1Char('=') + QString::number(PagesFile::dataNumber(entry));
    QCOMPARE(entries, read);
}

QTEST_GUILESS_MAIN(TestPagesFile)
#include "tst_pagesfile.moc"
