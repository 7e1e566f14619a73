#pragma once

#include <QString>

class QAction;
class QLabel;
class QMainWindow;
class QPushButton;
class QWidget;

// Places a control by the twips of its design (15 twips to a pixel at 96 dpi).
int twips(int value);
void placeTwips(QWidget *control, int left, int top, int width, int height);
// A button with its object name and caption, placed by twips.
QPushButton *placeButton(QWidget *parent, const char *name, const QString &caption, int left, int top, int width,
                         int height);
// A label likewise.
QLabel *placeLabel(QWidget *parent, const char *name, const QString &caption, int left, int top, int width, int height);

// The menu-bar command "終了" (Menu_End) of a window.
QAction *addEndCommand(QMainWindow *window);
