#include "taskwindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTimer>
#include <QtMath>

int twips(int value)
{
    return qRound(value / 15.0);
}

void placeTwips(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

namespace {

template<class Control>
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

QLabel *placeLabel(QWidget *parent, const char *name, const QString &caption, int left, int top, int width,
                   int height)
{
    return placeCaptioned<QLabel>(parent, name, caption, left, top, width, height);
}

TaskWindow::TaskWindow(QWidget *menu)
    : m_menu(menu)
{
}

void TaskWindow::showFromMenu()
{
    show();
    raise();
    activateWindow();
    QTimer::singleShot(0, this, [this] {
        Form_Activate();
        emit activationDone();
    });
}

void TaskWindow::closeFromFrame()
{
    returnToMenu();
}

void TaskWindow::returnToMenu()
{
    if (m_menu)
        m_menu->show();
    hide();
}

QWidget *TaskWindow::makeClientArea(int widthTwips, int heightTwips)
{
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
    closeFromFrame();
}
