#include "gui/browse/form_show_pages.h"

#include "gui/browse/linkopener.h"
#include "gui/browse/pager.h"
#include "gui/kit/pageslist.h"
#include "gui/kit/sitepanel.h"
#include "platform/programdir.h"
#include "platform/settings.h"

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
    if (m_pager->count() == 0)
        return;
    auto *dialog = new PagesListDialog(this, PagesOverview::read(AppDir(), PageNumbers, Settings::latestRunFirstDay()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &PagesListDialog::chosen, this, [this](int position) {
        if (position < 1 || position > m_pager->count())
            return;
        runGuarded([this, position] { m_pager->jump(position); });
    });
    dialog->open();
}
