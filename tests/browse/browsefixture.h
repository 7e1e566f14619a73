#pragma once

#include "app/form_menu.h"
#include "platform/messagebox.h"
#include "platform/urlopener.h"
#include "testenv.h"
#include "ui/taskwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <utility>

// The menu with one browsing window, driven by steps "action" or "action:expected state" separated by ";":
// o opens the window from the menu; n, b, a, d click next, previous, add, delete; e is 終了, x the frame's
// close; other actions are the test's own. The state is "menu" while the menu is visible, the window's part
// while it is visible, then "!" and the first two lines of each message box (the third is the system's
// reason). A step without an expected state must show no message.
struct BrowseFixture
{
    explicit BrowseFixture(Form_Menu::Task window)
        : task(window)
    {
        env.makeDir(QStringLiteral("data")); // else the menu disables its browsing buttons
        UrlOpener::setRecording(true);         // no browser is launched
    }

    template<typename T = QAbstractButton>
    static T *find(QWidget *parent, const char *name)
    {
        T *found = parent->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    template<typename T = QAbstractButton>
    T *control(const char *name) { return find<T>(menu.taskWindow(task), name); }
    static void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    QString flag(const char *name, char on) { return QString(QLatin1Char(control(name)->isEnabled() ? on : '-')); }

    void run(const QString &steps, const std::function<QString()> &shown,
             const std::function<void(const QString &)> &act = [](const QString &) { QFAIL("unknown action"); })
    {
        static const QHash<QString, const char *> buttons{
            {"n", "Cmd_Next"}, {"b", "cmd_Back"}, {"a", "cmd_Add"}, {"d", "cmd_Delete"}};
        for (const QString &step : steps.split(QLatin1Char(';'))) {
            const qsizetype colon = step.indexOf(QLatin1Char(':'));
            const QString action = step.left(colon);
            if (action == QLatin1String("o")) {
                if (!std::exchange(m_loaded, true)) {
                    menu.Form_Load();
                    menu.show();
                }
                QSignalSpy done(menu.taskWindow(task), &TaskWindow::activationDone);
                click(find(&menu, task == Form_Menu::Task::Show ? "Cmd_Show" : "cmd_ShowPage"));
                QTRY_COMPARE(done.count(), 1);
            }
            else if (buttons.contains(action))
                click(control(buttons.value(action)));
            else if (action == QLatin1String("e"))
                control<QAction>("Menu_End")->trigger();
            else if (action == QLatin1String("x"))
                menu.taskWindow(task)->close();
            else
                act(action);
            QStringList state;
            if (menu.isVisible())
                state << QStringLiteral("menu");
            if (menu.taskWindow(task)->isVisible())
                state << shown();
            for (const QString &text : MessageBox::takeRecorded())
                state << QLatin1Char('!') + text.section(QStringLiteral("\r\n"), 0, 1)
                        .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                        .replace(QDir::toNativeSeparators(env.dir()), QStringLiteral("~"));
            const QString seen = state.join(QLatin1Char(' '));
            if (colon >= 0)
                QCOMPARE(seen, step.mid(colon + 1));
            else
                QVERIFY2(!seen.contains(QLatin1Char('!')), qPrintable(step + QLatin1Char(' ') + seen));
        }
    }

    TestEnv env;
    Form_Menu menu;
    Form_Menu::Task task;

private:
    bool m_loaded = false;
};
