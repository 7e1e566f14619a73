#include "gui/kit/taskwindow.h"
#include "guitest.h"
#include "testenv.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

const QPoint notOnShow(-9999, -9999);
// The window manager's answers, on a loaded machine under the sanitizers.
constexpr int answerMs = 20000;

// Where the X server has a window's client area, as the window manager put it.
QPoint placeOf(QWidget *window)
{
    QProcess info;
    info.start("xwininfo", {"-id", QString::number(window->winId())});
    info.waitForFinished();
    const QString text = QString::fromLatin1(info.readAllStandardOutput());
    const QRegularExpression place("Absolute upper-left X:\\s*(-?\\d+)\\s*Absolute upper-left Y:\\s*(-?\\d+)");
    const QRegularExpressionMatch at = place.match(text);
    return text.contains("IsViewable") ? QPoint(at.captured(1).toInt(), at.captured(2).toInt()) : notOnShow;
}

} // namespace

class TestMenuPlace : public QObject
{
    Q_OBJECT

private slots:
    void staysPut_data();
    void staysPut();
};

// Table rows are laid out by hand.
// clang-format off
void TestMenuPlace::staysPut_data()
{
    QTest::addColumn<QPoint>("moveBy"); // moved by the window manager before the first task; (0, 0): not moved
    QTest::addColumn<QString>("tasks"); // opened in turn: s データの表示, p 気になるページ
    QTest::addColumn<QString>("leave"); // how each task window is left: 終了 or the frame's close

    QTest::newRow("show, then pages of interest") << QPoint(0, 0)     << "sp"   << "終了";
    QTest::newRow("moved, then each twice")       << QPoint(420, 310) << "spsp" << "終了";
    QTest::newRow("moved, left by the frame")     << QPoint(250, 380) << "ps"   << "frame";
}
// clang-format on

void TestMenuPlace::staysPut()
{
    QFETCH(QPoint, moveBy);
    QFETCH(QString, tasks);
    QFETCH(QString, leave);
    TestEnv env;
    env.makeDir("data");
    env.writeBytes("number.sdf", textLines({"1", "7"}));
    env.writeBytes("data/000007.ibd", textLines({"7", "A"}));
    env.writeBytes("pages.udf", textLines({"1", "000007 A"}));
    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    QTRY_VERIFY_WITH_TIMEOUT(placeOf(&menu) != notOnShow, answerMs);
    QPoint place = placeOf(&menu);
    // Qt hears of the place before a real click comes.
    QTRY_COMPARE_WITH_TIMEOUT(menu.geometry().topLeft(), place, answerMs);
    if (!moveBy.isNull()) {
        // The window manager moves it, as after a drag by the user: only
        // the window manager's word tells the program its new place.
        const QPoint to = place + moveBy;
        QProcess::execute(
            "xdotool", {"windowmove", QString::number(menu.winId()), QString::number(to.x()), QString::number(to.y())});
        QTRY_VERIFY_WITH_TIMEOUT(placeOf(&menu) != place, answerMs);
        place = placeOf(&menu);
        QTRY_COMPARE_WITH_TIMEOUT(menu.geometry().topLeft(), place, answerMs);
    }
    for (const QChar letter : tasks) {
        const Form_Menu::Task which = letter == 's' ? Form_Menu::Task::Show : Form_Menu::Task::ShowPage;
        QVERIFY(GuiTest::openTask(menu, which));
        TaskWindow *task = menu.taskWindow(which);
        QTRY_VERIFY_WITH_TIMEOUT(placeOf(task) != notOnShow, answerMs);
        QTRY_COMPARE_WITH_TIMEOUT(placeOf(&menu), notOnShow, answerMs);
        leave == "frame" ? (void)task->close() : (void)GuiTest::press(task, "終了");
        QTRY_COMPARE_WITH_TIMEOUT(placeOf(&menu), place, answerMs);
    }
}

QTEST_MAIN(TestMenuPlace)
#include "tst_menuplace.moc"
