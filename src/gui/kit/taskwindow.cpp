#include "gui/kit/taskwindow.h"

#include "gui/kit/placement.h"
#include "gui/kit/messagebox.h"
#include "platform/runerror.h"

#include <QCloseEvent>
#include <QDir>
#include <QLayout>
#include <QShortcut>
#include <QTimer>

namespace {

QString failureText(const RunError &error)
{
    QString text = QStringLiteral("処理を続けられませんでした。\r\n") + error.reason();
    if (!error.detail().isEmpty())
        text += QStringLiteral("\r\n") + QDir::toNativeSeparators(error.detail());
    return text;
}

} // namespace

TaskWindow::TaskWindow(QWidget *menu)
    : m_menu(menu)
{
    // Esc leaves the way the window's own exit command does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &TaskWindow::closeFromFrame);
}

void TaskWindow::showFromMenu()
{
    show();
    raise();
    activateWindow();
    QTimer::singleShot(0, this, [this] {
        try {
            Form_Activate();
        } catch (const RunError &error) {
            // Nothing sensible is on show: back to the hub.
            MessageBox::show(this, failureText(error));
            returnToMenu();
        }
        emit activationDone();
    });
}

void TaskWindow::closeFromFrame()
{
    returnToMenu();
}

void TaskWindow::runGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const RunError &error) {
        MessageBox::show(this, failureText(error));
    }
}

void TaskWindow::returnToMenu()
{
    if (m_menu)
        m_menu->show();
    hide();
}

QWidget *TaskWindow::makeClientArea(const char *name, const QString &caption, int widthTwips, int heightTwips)
{
    setObjectName(QLatin1String(name));
    setWindowTitle(caption);
    auto *client = new QWidget(this);
    client->setFixedSize(twips(widthTwips), twips(heightTwips));
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    return client;
}

void TaskWindow::closeEvent(QCloseEvent *event)
{
    // Only the menu ends the program; a task window's frame close is a return.
    event->ignore();
    runGuarded([this] { closeFromFrame(); });
}
