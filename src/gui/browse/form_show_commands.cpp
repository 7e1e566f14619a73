#include "gui/browse/form_show.h"

#include "gui/browse/linkopener.h"
#include "gui/browse/pager.h"
#include "gui/kit/findbox.h"
#include "browse/sitefinder.h"
#include "gui/kit/sitepanel.h"
#include "gui/kit/messagebox.h"
#include "platform/programdir.h"

#include <QAction>
#include <QMenuBar>
#include <QPushButton>

void Form_Show::addCommands()
{
    m_findBox = new FindBox(this);
    connect(m_findBox, &FindBox::findRequested, this,
            [this](const QString &text) { runGuarded([&] { findSite(text); }); });

    QAction *find = menuBar()->addAction(QStringLiteral("検索"));
    find->setObjectName(QStringLiteral("Menu_Find"));
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, m_findBox, &FindBox::present);
    // F3 works in the window and in the box alike.
    auto *again = new QAction(QStringLiteral("次を検索"), this);
    again->setObjectName(QStringLiteral("Menu_FindNext"));
    again->setShortcut(QKeySequence(Qt::Key_F3));
    addAction(again);
    m_findBox->addAction(again);
    connect(again, &QAction::triggered, this, [this] {
        if (m_findBox->text().trimmed().isEmpty())
            m_findBox->present();
        else
            runGuarded([this] { findSite(m_findBox->text()); });
    });

    new LinkOpener(this, m_site->txt_Link);

    // Every activation may follow a new build: the next find reads afresh.
    connect(this, &TaskWindow::activationDone, this, [this] {
        m_finder.reset();
        m_findBox->setNote({});
    });
}

void Form_Show::findSite(const QString &text)
{
    if (text.trimmed().isEmpty() || SiteCount() == 0)
        return;
    if (!m_finder)
        m_finder = std::make_unique<SiteFinder>(AppDir());
    const SiteFinder::Result found = m_finder->find(text, CurrentPos());
    if (found.position == 0 || found.position > SiteCount()) {
        m_findBox->setNote({});
        MessageBox::show(m_findBox->isVisible() ? static_cast<QWidget *>(m_findBox) : this,
                         QStringLiteral("「") + text.trimmed() + QStringLiteral("」は見つかりませんでした。"));
        return;
    }
    m_findBox->setNote(found.wrapped ? QStringLiteral("最後まで検索したので、最初から検索しました。") : QString());
    m_pager->jump(found.position);
}
