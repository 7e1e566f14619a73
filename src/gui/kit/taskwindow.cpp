#include "gui/kit/taskwindow.h"

#include "gui/kit/messagebox.h"
#include "platform/runerror.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QtMath>

namespace {

QString failureText(const RunError &error)
{
    QString text = QStringLiteral("処理を続けられませんでした。\r\n") + error.reason();
    if (!error.detail().isEmpty())
        text += QStringLiteral("\r\n") + QDir::toNativeSeparators(error.detail());
    return text;
}

} // namespace

int twips(int value)
{
    return qRound(value / 15.0);
}

void placeTwips(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

namespace {

template <class Control>
Control *placeCaptioned(QWidget *parent, const char *name, const QString &caption, int left, int top, int width,
                        int height)
{
    auto *control = new Control(caption, parent);
    control->setObjectName(QLatin1String(name));
    placeTwips(control, left, top, width, height);
    return control;
}

} // namespace

QPushButton *placeButton(QWidget *parent, const char *name, const QString &caption, int left, int top, int width,
                         int height)
{
    return placeCaptioned<QPushButton>(parent, name, caption, left, top, width, height);
}

QLabel *placeLabel(QWidget *parent, const char *name, const QString &caption, int left, int top, int width, int height)
{
    return placeCaptioned<QLabel>(parent, name, caption, left, top, width, height);
}

QAction *addEndCommand(QMainWindow *window)
{
    QAction *end = window->menuBar()->addAction(QStringLiteral("終了"));
    end->setObjectName(QStringLiteral("Menu_End"));
    return end;
}

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
