#include "guitest.h"

#include "gui/kit/messagebox.h"
#include "gui/kit/taskwindow.h"

#include <QAction>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

namespace GuiTest {

bool press(QWidget *window, const QString &caption)
{
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
        if (button->text() == caption)
            return QTest::mouseClick(button, Qt::LeftButton), true;
    for (QAction *command : window->findChildren<QAction *>())
        if (command->text() == caption)
            return command->trigger(), true;
    const QKeySequence key = QKeySequence::fromString(caption);
    if (key.isEmpty())
        return false;
    QTest::keySequence(window, key);
    return true;
}

bool openTask(Form_Menu &menu, Form_Menu::Task task)
{
    // The menu's buttons in the order of the tasks.
    static const QStringList buttons{"ファイルの構築", "データの表示", "気になるページ", "データＵＲＬ変更",
                                     "更新状況のダウンロード"};
    QSignalSpy done(menu.taskWindow(task), &TaskWindow::activationDone);
    press(&menu, buttons.value(int(task)));
    return done.count() > 0 || done.wait(60000);
}

QString enabled(QWidget *window, const QList<const char *> &names)
{
    QStringList captions;
    for (const char *name : names)
        if (QAbstractButton *button = find(window, name); button && button->isEnabled())
            captions << button->text();
    return captions.isEmpty() ? QStringLiteral("nothing") : captions.join(QLatin1Char(' '));
}

QString messages(const QString &programDir)
{
    QStringList shown;
    for (const QString &text : MessageBox::takeRecorded())
        shown << text.section(QStringLiteral("\r\n"), 0, 1)
                     .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                     .replace(QDir::toNativeSeparators(programDir), QStringLiteral("~"));
    return shown.join(QStringLiteral(" / "));
}

} // namespace GuiTest
