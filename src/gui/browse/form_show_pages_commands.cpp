#include "gui/browse/form_show_pages.h"

#include "gui/browse/linkopener.h"
#include "gui/browse/pager.h"
#include "browse/newsmarks.h"
#include "gui/kit/pageslist.h"
#include "gui/kit/sitepanel.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/runlock.h"

#include <QAction>
#include <QMenuBar>
#include <QPushButton>

void Form_Show_Pages::addCommands()
{
    QAction *list = menuBar()->addAction(QStringLiteral("一覧"));
    list->setObjectName(QStringLiteral("Menu_List"));
    connect(list, &QAction::triggered, this, guard(&Form_Show_Pages::showList));
    new LinkOpener(this, m_site->txt_Link);
}

void Form_Show_Pages::showList()
{
    if (PageCount() == 0)
        return;
    const QList<PagesOverview::Row> rows = PagesOverview::read(AppDir(), PageNumbers,
                                                               m_unseen + NewsMarks::read(AppDir()));
    auto *dialog = new PagesListDialog(this, rows);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &PagesListDialog::chosen, this, [this](int position) {
        if (position < 1 || position > PageCount())
            return;
        runGuarded([this, position] { m_pager->jump(position); });
    });
    dialog->open();
    QList<qint16> shownMarked;
    for (const PagesOverview::Row &row : rows) {
        if (row.isNew)
            shownMarked.append(row.dataNumber);
    }
    markSeen(shownMarked);
}

void Form_Show_Pages::markSeen(const QList<qint16> &dataNumbers)
{
    // A download holds the folder for minutes: rather than wait for it, the
    // mark stays until a later showing clears it.
    RunLock lock(AppDir());
    if (!lock.tryLock(RunLock::Holder::Save))
        return;
    try {
        NewsMarks::seen(AppDir(), dataNumbers);
    } catch (const RunError &) {
        // The mark stays until a later showing clears it: nothing the user
        // needs to act on.
    }
}
