#include "gui/browse/linkopener.h"

#include "gui/kit/messagebox.h"
#include "gui/kit/urlopener.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QUrl>

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
