#include "gui/kit/placement.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
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
