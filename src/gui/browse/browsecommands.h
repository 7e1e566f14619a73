#pragma once

#include <QObject>

class QLineEdit;
class QMainWindow;
class QPushButton;
class QWidget;

// What both browsing windows offer beyond paging with 前 and 次.

// 前 (cmd_Back, disabled until there is a page before) and 次 (Cmd_Next) at
// one top, placed by twips.
void placePaging(QWidget *client, int backLeft, int nextLeft, int top, QPushButton *&back, QPushButton *&next);

// Moves to a position found another way than paging (a find, a list): the
// two buttons end as if the user had paged there.
void jumpPosition(int &position, int count, int target, QPushButton *back, QPushButton *next);

// Page Up and Page Down click 前 and 次 while they are enabled.
void addPagingKeys(QWidget *window, QPushButton *back, QPushButton *next);

// The menu-bar command "ブラウザで開く" and a double-click on the link URL
// box: the link goes to the desktop's web browser, if it is http or https.
class LinkOpener : public QObject
{
    Q_OBJECT

public:
    LinkOpener(QMainWindow *window, QLineEdit *link);

    void openLink();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMainWindow *m_window;
    QLineEdit *m_link;
};
