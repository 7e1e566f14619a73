#include "guitest.h"

#include "gui/kit/messagebox.h"
#include "gui/kit/taskwindow.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

namespace GuiTest {

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

bool openTask(Form_Menu &menu, Form_Menu::Task task)
{
    static const QHash<Form_Menu::Task, const char *> buttons{{Form_Menu::Task::SetFile, "cmd_SetFile"},
                                                              {Form_Menu::Task::Show, "Cmd_Show"},
                                                              {Form_Menu::Task::ShowPage, "cmd_ShowPage"},
                                                              {Form_Menu::Task::Update, "cmd_Update"}};
    QSignalSpy done(menu.taskWindow(task), &TaskWindow::activationDone);
    click(find(&menu, buttons.value(task)));
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
