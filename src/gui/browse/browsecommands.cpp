#include "gui/browse/browsecommands.h"

#include "gui/kit/messagebox.h"
#include "gui/kit/urlopener.h"
#include "gui/kit/placement.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

void placePaging(QWidget *client, int backLeft, int nextLeft, int top, QPushButton *&back, QPushButton *&next)
{
    back = placeButton(client, "cmd_Back", QStringLiteral("前"), backLeft, top, 495, 495);
    back->setEnabled(false);
    next = placeButton(client, "Cmd_Next", QStringLiteral("次"), nextLeft, top, 495, 495);
}

void jumpPosition(int &position, int count, int target, QPushButton *back, QPushButton *next)
{
    position = target;
    back->setEnabled(target > 1);
    // Position 1 is where activation and 前 leave next enabled, even as the last.
    next->setEnabled(target < count || target == 1);
}

void addPagingKeys(QWidget *window, QPushButton *back, QPushButton *next)
{
    const auto clickIfEnabled = [](QPushButton *button) {
        return [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        };
    };
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_PageUp), window), &QShortcut::activated, window,
                     clickIfEnabled(back));
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_PageDown), window), &QShortcut::activated, window,
                     clickIfEnabled(next));
}

LinkOpener::LinkOpener(QMainWindow *window, QLineEdit *link)
    : QObject(window),
      m_window(window),
      m_link(link)
{
    QAction *open = window->menuBar()->addAction(QStringLiteral("ブラウザで開く"));
    open->setObjectName(QStringLiteral("Menu_Open"));
    connect(open, &QAction::triggered, this, &LinkOpener::openLink);
    link->installEventFilter(this);
}

void LinkOpener::openLink()
{
    const QString text = m_link->text().trimmed();
    const QUrl url(text, QUrl::StrictMode);
    // Anything else could run a program or open a local file: the link is
    // the data set's, not the user's.
    const bool web = url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
    if (!web) {
        MessageBox::show(m_window,
                         QStringLiteral("http と https のアドレスだけをブラウザで開きます。\r\n「") + text
                             + QStringLiteral("」は開きません。"));
        return;
    }
    if (!UrlOpener::open(url))
        MessageBox::show(m_window, QStringLiteral("ブラウザで開けませんでした。\r\n") + url.toString());
}

bool LinkOpener::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_link && event->type() == QEvent::MouseButtonDblClick) {
        openLink();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
