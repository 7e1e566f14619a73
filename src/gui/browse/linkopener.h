#pragma once

#include <QObject>

class QLineEdit;
class QMainWindow;

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
