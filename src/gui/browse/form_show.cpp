#include "gui/browse/form_show.h"

#include "gui/kit/placement.h"
#include "store/textutil.h"
#include "gui/browse/pager.h"
#include "browse/pagesfile.h"
#include "browse/sitefinder.h"
#include "gui/kit/sitepanel.h"
#include "gui/kit/messagebox.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/runlock.h"
#include "store/datafiles.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace {

QString cannotReadText(const QString &path, const RunError &error)
{
    return QStringLiteral("ファイルを読み込めませんでした。\r\n") + QDir::toNativeSeparators(path)
        + QStringLiteral("\r\n") + error.reason();
}

} // namespace

Form_Show::Form_Show(QWidget *menu)
    : TaskWindow(menu)
{
    QWidget *client = makeClientArea("Form_Show", QStringLiteral("登録内容の表示"), 6090, 6645);

    m_site = std::make_unique<SitePanel>(client, 1320, SitePanel::SectionColour::Yellow);

    // Created before the paging buttons, which it does not overlap: the
    // focus order is the same either way.
    Label4 = placeLabel(client, "Label4", QStringLiteral("気になるページ"), 240, 3720, 1335, 375);

    m_pager = new Pager(this, client, 4440, 5400, 3480, [this](int position) { DisplaySite(position); });

    List_Page = new QListWidget(client);
    List_Page->setObjectName(QStringLiteral("List_Page"));
    List_Page->setSelectionMode(QAbstractItemView::SingleSelection);
    List_Page->setSortingEnabled(true);
    // Every entry is one line; this spares measuring each of many thousands.
    List_Page->setUniformItemSizes(true);
    QPalette palette = List_Page->palette();
    palette.setColor(QPalette::Base, QColor(0, 255, 255));
    List_Page->setPalette(palette);
    Label4->setBuddy(List_Page);
    List_Page->setAccessibleName(Label4->text());
    placeTwips(List_Page, 120, 4200, 5775, 1680);

    cmd_Add = placeButton(client, "cmd_Add", QStringLiteral("Add"), 1920, 6000, 495, 495);
    cmd_Delete = placeButton(client, "cmd_Delete", QStringLiteral("Del"), 3840, 6000, 495, 495);

    Menu_End = addEndCommand(this);

    connect(m_pager->next(), &QPushButton::clicked, this, guard(&Form_Show::Cmd_Next_Click));
    connect(m_pager->back(), &QPushButton::clicked, this, guard(&Form_Show::cmd_Back_Click));
    connect(cmd_Add, &QPushButton::clicked, this, guard(&Form_Show::cmd_Add_Click));
    connect(cmd_Delete, &QPushButton::clicked, this, guard(&Form_Show::cmd_Delete_Click));
    connect(Menu_End, &QAction::triggered, this, guard(&Form_Show::Menu_End_Click));
    addCommands();
}

Form_Show::~Form_Show() = default;

void Form_Show::Form_Activate()
{
    QList<qint16> numbers;
    try {
        numbers = DataFiles::readSiteNumbers(AppDir());
    } catch (const RunError &error) {
        if (error.number() != RunError::FileNotFound) {
            leaveFor(cannotReadText(DataFiles::numberIndexPath(AppDir()), error));
            return;
        }
    }
    if (numbers.isEmpty()) {
        leaveFor(QStringLiteral("データがありません"));
        return;
    }

    // An unreadable list is not shown as empty: leaving would overwrite it.
    PagesFile::Contents pages;
    try {
        pages = PagesFile::read(AppDir());
    } catch (const RunError &error) {
        leaveFor(cannotReadText(PagesFile::path(AppDir()), error));
        return;
    }

    m_leaveUnsaved = false;
    SiteNumbers = std::move(numbers);
    loadPages(std::move(pages.entries));
    m_pager->start(int(SiteNumbers.size()));
}

void Form_Show::leaveFor(const QString &message)
{
    MessageBox::show(this, message);
    returnToMenu();
}

void Form_Show::loadPages(QStringList entries)
{
    // A sorted list box finds each new item's place on insertion, which for
    // thousands of entries is quadratic: sort once and add them all unsorted.
    std::sort(entries.begin(), entries.end());
    List_Page->setSortingEnabled(false);
    List_Page->clear();
    List_Page->addItems(entries);
    List_Page->setSortingEnabled(true);
}

void Form_Show::DisplaySite(int position)
{
    m_site->display(AppDir(), SiteNumbers.value(position - 1));
}

void Form_Show::Cmd_Next_Click()
{
    m_pager->step(+1);
}

void Form_Show::cmd_Back_Click()
{
    m_pager->step(-1);
}

void Form_Show::cmd_Add_Click()
{
    const qint16 number = SiteNumbers.value(CurrentPos() - 1);
    // Entries that name the same site files are one page, -7 and 7 too.
    const QString digits = TextUtil::Pad6(number);
    for (int row = 0; row < List_Page->count(); ++row) {
        if (PagesFile::siteDigits(List_Page->item(row)->text()) == digits) {
            MessageBox::show(this, QStringLiteral("すでに存在しています。"));
            return;
        }
    }
    List_Page->addItem(PagesFile::entry(number, m_site->txt_Title->text()));
    cmd_Delete->setEnabled(true);
}

void Form_Show::cmd_Delete_Click()
{
    const QList<QListWidgetItem *> selected = List_Page->selectedItems();
    if (selected.isEmpty()) {
        MessageBox::show(this, QStringLiteral("削除対象をクリックしてください。"));
        return;
    }
    delete selected.first();
    // Nothing stays marked: the next delete needs a new click.
    List_Page->clearSelection();
    if (List_Page->count() == 0)
        cmd_Delete->setEnabled(false);
}

void Form_Show::Menu_End_Click()
{
    // Told that the list cannot be saved, the user is never kept from the menu.
    if (std::exchange(m_leaveUnsaved, false)) {
        returnToMenu();
        return;
    }
    QStringList entries;
    entries.reserve(List_Page->count());
    for (int row = 0; row < List_Page->count(); ++row)
        entries.append(List_Page->item(row)->text());
    const QString why = RunLock::save(AppDir(), [&] { PagesFile::write(AppDir(), entries); });
    if (!why.isEmpty()) {
        // Stay with the list intact so that it can still be saved.
        m_leaveUnsaved = true;
        MessageBox::show(this,
                         MessageBox::cannotSaveText(PagesFile::path(AppDir()), why)
                             + QStringLiteral("\r\n気になるページの一覧は保存されていません。"
                                              "もう一度「終了」を選ぶと、保存しないでメニューに戻ります。"));
        return;
    }
    returnToMenu();
}
