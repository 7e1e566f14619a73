#include "app/form_menu.h"
#include "app/taskwindow.h"
#include "platform/messagebox.h"
#include "testenv.h"

#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kNotThere = QStringLiteral("ファイルが存在しません。ファイルを確かめてください。");

QString notThere(const TestEnv &env, const QString &name)
{
    return QStringLiteral("存在しないファイルは、\r\n") + QDir::toNativeSeparators(env.path(name)) + QStringLiteral("です。");
}

QString otherError(int number)
{
    return QStringLiteral("その他のエラーです。 エラー番号：") + QString::number(number);
}

QString allInfo(const QString &sites)
{
    return QStringLiteral("2000/05/20\r\n0\r\n0\r\n1\r\n0\r\n0,Top\r\n<END>\r\n<END>\r\n") + sites
           + QStringLiteral("<END>\r\n<END>\r\n");
}

const QString kGoodAllInfo = allInfo(QStringLiteral("7,Jazz Corner,Reviews,URL-1\r\n"));
const QString kGoodUpdate = QStringLiteral("2000/05/20\r\n7,#2000/05/18 21:04:33#,#2000/05/20#,1\r\n");

QPushButton *button(QWidget *window, const char *name)
{
    auto *found = window->findChild<QPushButton *>(QLatin1String(name));
    if (!found)
        qFatal("no button %s", name);
    return found;
}

// The menu as start-up leaves it, with the build button enabled.
struct Program
{
    explicit Program(TestEnv &env)
    {
        env.writeText(QStringLiteral("all-info.idf"), kGoodAllInfo);
        env.writeText(QStringLiteral("update.idf"), kGoodUpdate);
        menu.Form_Load();
        menu.show();
        window = menu.taskWindow(Form_Menu::Task::SetFile);
    }

    // Clicks the build button and waits until the activation has run.
    bool build()
    {
        QSignalSpy done(window, &TaskWindow::activationDone);
        QTest::mouseClick(button(&menu, "cmd_SetFile"), Qt::LeftButton);
        return done.wait(10000);
    }

    QPushButton *end() { return button(window, "cmd_End"); }

    Form_Menu menu;
    TaskWindow *window = nullptr;
};

} // namespace

class TestSetFile : public QObject
{
    Q_OBJECT

private slots:
    void layout();
    void outcome_data();
    void outcome();
    void endButton();
    void secondBuildFindsNoInput();
    void stoppedWindowClosesToMenu();
};

void TestSetFile::layout()
{
    TestEnv env;
    Program program(env);
    TaskWindow *window = program.window;
    QCOMPARE(window->objectName(), QStringLiteral("Form_SetFile"));
    QCOMPARE(window->windowTitle(), QStringLiteral("ファイルの構築"));
    QCOMPARE(window->centralWidget()->size(), QSize(312, 49));
    QPushButton *end = program.end();
    QCOMPARE(end->text(), QStringLiteral("終了"));
    QCOMPARE(end->geometry(), QRect(112, 8, 81, 33));
    QVERIFY(!end->isEnabled());
    QCOMPARE(window->findChildren<QPushButton *>().size(), 1);
}

void TestSetFile::outcome_data()
{
    QTest::addColumn<QString>("allInfo"); // "-": removed after start-up
    QTest::addColumn<QString>("update");  // "-": removed after start-up
    QTest::addColumn<int>("error");       // 0, or the number the user is told

    QTest::newRow("success") << kGoodAllInfo << kGoodUpdate << 0;
    QTest::newRow("all-info.idf missing") << QStringLiteral("-") << kGoodUpdate << 53;
    QTest::newRow("update.idf missing") << kGoodAllInfo << QStringLiteral("-") << 53;
    QTest::newRow("block with count + 2 records")
        << allInfo(QStringLiteral("7,a,b,c\r\n8,a,b,c\r\n9,a,b,c\r\n")) << kGoodUpdate << 9;
    QTest::newRow("data number 32768") << allInfo(QStringLiteral("32768,a,b,c\r\n")) << kGoodUpdate << 6;
    QTest::newRow("trailing empty line") << kGoodAllInfo << kGoodUpdate + QStringLiteral("\r\n") << 62;
    QTest::newRow("empty all-info.idf") << QString() << kGoodUpdate << 62;
}

void TestSetFile::outcome()
{
    QFETCH(QString, allInfo);
    QFETCH(QString, update);
    QFETCH(int, error);
    TestEnv env;
    Program program(env);
    for (const auto &[name, text] : {std::pair{QStringLiteral("all-info.idf"), allInfo},
                                     std::pair{QStringLiteral("update.idf"), update}}) {
        if (text == QStringLiteral("-"))
            QVERIFY(QFile::remove(env.path(name)));
        else
            env.writeText(name, text);
    }

    QVERIFY(program.build());

    QStringList expected;
    if (error == 53)
        expected = {kNotThere, notThere(env, allInfo == QStringLiteral("-") ? QStringLiteral("all-info.idf")
                                                                          : QStringLiteral("update.idf"))};
    else if (error != 0)
        expected = {otherError(error)};
    QCOMPARE(MessageBox::takeRecorded(), expected);

    // Success waits on the end button; a missing input goes back to the
    // menu; any other failure stops with the window shown.
    QCOMPARE(program.window->isVisible(), error != 53);
    QCOMPARE(program.menu.isVisible(), error == 53);
    QCOMPARE(program.end()->isEnabled(), error == 0);
}

void TestSetFile::endButton()
{
    TestEnv env;
    Program program(env);
    QVERIFY(program.build());
    QVERIFY(program.end()->isEnabled());
    QVERIFY(!program.menu.isVisible());

    QTest::mouseClick(program.end(), Qt::LeftButton);
    QVERIFY(program.menu.isVisible());
    QVERIFY(!program.window->isVisible());
    QVERIFY(!program.end()->isEnabled());
    QCOMPARE(env.readBytes(QStringLiteral("data/000007.ibd")), QByteArray(" 7 \r\nJazz Corner\r\nReviews\r\nURL-1\r\n"));
}

// The inputs are gone after a build, but the menu keeps its button.
void TestSetFile::secondBuildFindsNoInput()
{
    TestEnv env;
    Program program(env);
    QVERIFY(program.build());
    QTest::mouseClick(program.end(), Qt::LeftButton);

    QVERIFY(program.build());
    QCOMPARE(MessageBox::takeRecorded(), QStringList({kNotThere, notThere(env, QStringLiteral("all-info.idf"))}));
    QVERIFY(program.menu.isVisible());
    QVERIFY(!program.window->isVisible());
    QVERIFY(!program.end()->isEnabled());
}

// Stopped by a failure, the window's frame close is the way back; once the
// input is put right the next build succeeds.
void TestSetFile::stoppedWindowClosesToMenu()
{
    TestEnv env;
    Program program(env);
    env.writeText(QStringLiteral("all-info.idf"), allInfo(QStringLiteral("7,a,b,c\r\n8,a,b,c\r\n9,a,b,c\r\n")));
    QVERIFY(program.build());
    QCOMPARE(MessageBox::takeRecorded(), QStringList({otherError(9)}));
    QVERIFY(program.window->isVisible());

    program.window->close();
    QVERIFY(program.menu.isVisible());
    QVERIFY(!program.window->isVisible());

    env.writeText(QStringLiteral("all-info.idf"), kGoodAllInfo);
    QVERIFY(program.build());
    QCOMPARE(MessageBox::takeRecorded(), QStringList());
    QVERIFY(program.end()->isEnabled());
    QVERIFY(!env.exists(QStringLiteral("update.idf")));
}

QTEST_MAIN(TestSetFile)
#include "tst_setfile.moc"
