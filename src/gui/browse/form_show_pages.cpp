#include "gui/browse/form_show_pages.h"

#include "gui/kit/placement.h"
#include "gui/browse/pager.h"
#include "browse/newsmarks.h"
#include "browse/pagesfile.h"
#include "gui/kit/sitepanel.h"
#include "gui/kit/messagebox.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "store/datafiles.h"

#include <QButtonGroup>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

namespace {

QRadioButton *makeOption(QWidget *client, const char *name, const QString &caption, const QColor &colour, int l, int t,
                         int w, int h, int roomTwips)
{
    auto *option = new QRadioButton(caption, client);
    option->setObjectName(QLatin1String(name));
    placeTwips(option, l, t, w, h);
    // A caption wider than its place grows into the free room beside it
    // rather than being cut off.
    option->resize(qBound(option->width(), option->sizeHint().width(), twips(roomTwips)), option->height());
    option->setEnabled(false);
    // A button fills with its Button role; white is set on Window.
    option->setBackgroundRole(QPalette::Window);
    option->setAutoFillBackground(true);
    QPalette palette = option->palette();
    palette.setColor(QPalette::Window, Qt::white);
    // The caption keeps its colour while disabled: it names the method.
    const QColor text = colour.isValid() ? colour : palette.color(QPalette::Active, QPalette::WindowText);
    palette.setColor(QPalette::Active, QPalette::WindowText, text);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, text);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, text);
    option->setPalette(palette);
    return option;
}

} // namespace

Form_Show_Pages::Form_Show_Pages(QWidget *menu)
    : TaskWindow(menu)
{
    QWidget *client = makeClientArea("Form_Show_Pages", QStringLiteral("気になるページ"), 6030, 6255);

    m_site = std::make_unique<SitePanel>(client, 960, SitePanel::SectionColour::Plain);

    m_pager = new Pager(this, client, 360, 4680, 3120, [this](int position) { DisplayPage(position); });

    Label4 = placeLabel(client, "Label4", QStringLiteral("更新日時"), 120, 3840, 1215, 255);
    Label5 = placeLabel(client, "Label5", QStringLiteral("最終更新日時"), 720, 4200, 1215, 255);
    lab_LastModified = placeLabel(client, "lab_LastModified", QString(), 2160, 4200, 2415, 375);
    // A value label reads out its value; the caption describes it.
    lab_LastModified->setAccessibleDescription(Label5->text());
    Label7 = placeLabel(client, "Label7", QStringLiteral("確認日"), 720, 4680, 1215, 255);
    lab_Kakunin = placeLabel(client, "lab_Kakunin", QString(), 2160, 4680, 2415, 375);
    lab_Kakunin->setAccessibleDescription(Label7->text());

    Option1 = makeOption(client, "Option1", QStringLiteral("Header(Last-Modified)"), QColor(0, 0, 255), 720, 5280, 2055,
                         375, 2640);
    Option3 = makeOption(client, "Option3", QStringLiteral("Header(Content...)"), QColor(255, 0, 0), 3480, 5280, 1935,
                         375, 2430);
    Option2 = makeOption(client, "Option2", QStringLiteral("更新情報コメントタグ"), QColor(0, 192, 0), 720, 5760, 2055,
                         375, 2640);
    Option4 = makeOption(client, "Option4", QStringLiteral("ファイルサイズ"), QColor(), 3480, 5760, 1935, 375, 2430);
    m_methods = new QButtonGroup(this);
    m_methods->setExclusive(true);
    m_methods->addButton(Option1, 1);
    m_methods->addButton(Option2, 2);
    m_methods->addButton(Option3, 3);
    m_methods->addButton(Option4, 4);

    Menu_End = addEndCommand(this);

    connect(m_pager->next(), &QPushButton::clicked, this, guard(&Form_Show_Pages::Cmd_Next_Click));
    connect(m_pager->back(), &QPushButton::clicked, this, guard(&Form_Show_Pages::cmd_Back_Click));
    connect(Menu_End, &QAction::triggered, this, guard(&Form_Show_Pages::Menu_End_Click));
    addCommands();
}

Form_Show_Pages::~Form_Show_Pages() = default;

void Form_Show_Pages::Form_Activate()
{
    const bool withList = std::exchange(m_listOnActivation, false);
    PagesFile::Contents pages;
    try {
        pages = PagesFile::read(AppDir());
    } catch (const RunError &error) {
        MessageBox::show(this,
                         QStringLiteral("ファイルを読み込めませんでした。\r\n")
                             + QDir::toNativeSeparators(PagesFile::path(AppDir())) + QStringLiteral("\r\n")
                             + error.reason());
        Menu_End_Click();
        return;
    }

    QList<qint16> numbers = PagesFile::pageNumbers(pages.entries);
    if (numbers.isEmpty()) {
        MessageBox::show(this, QStringLiteral("データがありません"));
        Menu_End_Click();
        return;
    }

    PageNumbers = std::move(numbers);
    m_unseen = NewsMarks::read(AppDir());
    m_pager->start(int(PageNumbers.size()));
    if (withList)
        showList();
}

void Form_Show_Pages::DisplayPage(int position)
{
    const qint16 number = PageNumbers.value(position - 1);
    m_site->display(AppDir(), number);
    markSeen({number});

    const DataFiles::UpdateState state = DataFiles::readUpdateState(AppDir(), number);
    lab_LastModified->setText(state.lastModified);
    lab_Kakunin->setText(state.checkDate);
    // Any other code leaves the indicators as the last valid one set them.
    if (QAbstractButton *selected = m_methods->button(state.methodCode)) {
        selected->setEnabled(true);
        selected->setChecked(true);
        for (QAbstractButton *other : m_methods->buttons()) {
            if (other != selected)
                other->setEnabled(false);
        }
    }
}

void Form_Show_Pages::Cmd_Next_Click()
{
    m_pager->step(+1);
}

void Form_Show_Pages::cmd_Back_Click()
{
    m_pager->step(-1);
}

void Form_Show_Pages::Menu_End_Click()
{
    returnToMenu();
}
