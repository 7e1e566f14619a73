#pragma once

#include "gui/menu/form_menu.h"

#include <QAbstractButton>

// The window tests' vocabulary: controls found by their object names, clicked as a user clicks them, and the
// menu's task windows opened and waited for.
namespace GuiTest {

template <typename T = QAbstractButton> T *find(QWidget *window, const char *name)
{
    return window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
}

// What the user presses, by what the window shows: a button by its caption, a command of its menu bar, or a key
// by its name ("PgUp", "Esc", "F3"); false when the window has none of them.
bool press(QWidget *window, const QString &caption);
// Clicks the menu's button of the task and waits until its window has done its first work; false when it did
// not within a minute.
bool openTask(Form_Menu &menu, Form_Menu::Task task);
// The captions of the window's buttons that are enabled, in the order named, joined by blanks; "nothing" for none.
QString enabled(QWidget *window, const QList<const char *> &names);
// The message boxes shown since the last call: the first two lines of each, the program directory as "~".
QString messages(const QString &programDir);

} // namespace GuiTest
