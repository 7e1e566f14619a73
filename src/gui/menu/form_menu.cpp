#include "gui/menu/form_menu.h"

#include "gui/kit/placement.h"
#include "gui/browse/form_show.h"
#include "gui/browse/form_show_pages.h"
#include "platform/files.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/settings.h"
#include "gui/remote/form_setting.h"
#include "gui/remote/form_update.h"
#include "remote/datasource.h"
#include "remote/urlfile.h"
#include "store/datafiles.h"
#include "gui/store/form_setfile.h"
#include "gui/kit/taskwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHideEvent>
#include <QLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QWindow>

Form_Menu::Form_Menu()
    : m_source(new DataSource(this))
{
    setObjectName(QStringLiteral("Form_Menu"));
    setWindowTitle(QStringLiteral("Vellumark"));

    auto *client = new QWidget(this);
    client->setFixedSize(twips(4395), twips(2625));
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    cmd_SetFile = placeButton(client, "cmd_SetFile", QStringLiteral("ファイルの構築"), 600, 360, 1455, 495);
    Cmd_Show = placeButton(client, "Cmd_Show", QStringLiteral("データの表示"), 600, 1080, 1455, 495);
    cmd_ShowPage = placeButton(client, "cmd_ShowPage", QStringLiteral("気になるページ"), 2400, 1080, 1455, 495);
    Command1 = placeButton(client, "Command1", QStringLiteral("データＵＲＬ変更"), 2400, 360, 1455, 495);
    cmd_Update = placeButton(client, "cmd_Update", QStringLiteral("更新状況のダウンロード"), 1200, 1800, 2055, 495);
    setTabOrder(cmd_SetFile, Cmd_Show);
    setTabOrder(Cmd_Show, cmd_ShowPage);
    setTabOrder(cmd_ShowPage, Command1);
    setTabOrder(Command1, cmd_Update);

    Menu_End = addEndCommand(this);

    connect(cmd_SetFile, &QPushButton::clicked, this, [this] { showTask(Task::SetFile); });
    connect(Cmd_Show, &QPushButton::clicked, this, [this] { showTask(Task::Show); });
    connect(cmd_ShowPage, &QPushButton::clicked, this, [this] { showTask(Task::ShowPage); });
    connect(Command1, &QPushButton::clicked, this, [this] { showTask(Task::Setting); });
    connect(cmd_Update, &QPushButton::clicked, this, [this] { showTask(Task::Update); });
    connect(Menu_End, &QAction::triggered, this, &Form_Menu::endProgram);
}

Form_Menu::~Form_Menu()
{
    for (auto &window : m_windows)
        delete window.data();
}

QString Form_Menu::versionCaption()
{
    return QStringLiteral("( Ver.%1.%2 Rev:%3)")
        .arg(VELLUMARK_VERSION_MAJOR)
        .arg(VELLUMARK_VERSION_MINOR)
        .arg(VELLUMARK_VERSION_REVISION);
}

void Form_Menu::Form_Load()
{
    setWindowTitle(windowTitle() + versionCaption());

    setAppDir(ProgramDir::derive(ProgramDir::reported()));

    Settings::saveStartup(AppDir(), QStringLiteral("%1.%2").arg(VELLUMARK_VERSION_MAJOR).arg(VELLUMARK_VERSION_MINOR),
                          QString::number(VELLUMARK_VERSION_REVISION));

    UrlFile::Values values;
    try {
        UrlFile::read(AppDir(), values);
    } catch (const RunError &) {
        // Silently without the settings and the download for this run; what
        // was read stays in the boxes.
        if (values.fieldsRead >= 1) {
            setting();
            m_source->setDataUrl(values.url);
        }
        Command1->setEnabled(false);
        cmd_Update->setEnabled(false);
        CheckDataDir();
        return;
    }
    // The settings window is made now, hidden, with the boxes it shows.
    setting();
    m_source->setDataUrl(values.url);
    m_source->setProxy(values.proxy);

    CheckDataDir();
    CheckIndexFiles();
}

void Form_Menu::CheckDataDir()
{
    if (!Files::changeCurrentDir(DataFiles::dataDirPath(AppDir())) || !Files::changeCurrentDir(AppDir())) {
        Cmd_Show->setEnabled(false);
        cmd_ShowPage->setEnabled(false);
    }
}

void Form_Menu::CheckIndexFiles()
{
    if (!Files::canOpenForReading(DataFiles::allInfoPath(AppDir()))
        || !Files::canOpenForReading(DataFiles::updateInputPath(AppDir())))
        cmd_SetFile->setEnabled(false);
}

Form_Setting *Form_Menu::setting()
{
    return static_cast<Form_Setting *>(taskWindow(Task::Setting));
}

TaskWindow *Form_Menu::taskWindow(Task task)
{
    QPointer<TaskWindow> &window = m_windows[int(task)];
    if (!window) {
        switch (task) {
        case Task::SetFile:
            window = new Form_SetFile(this);
            break;
        case Task::Show:
            window = new Form_Show(this);
            break;
        case Task::ShowPage:
            window = new Form_Show_Pages(this);
            break;
        case Task::Setting:
            window = new Form_Setting(this, m_source);
            break;
        case Task::Update:
            window = new Form_Update(this, m_source);
            break;
        }
    }
    return window;
}

void Form_Menu::showTask(Task task)
{
    taskWindow(task)->showFromMenu();
    hide();
}

void Form_Menu::openPagesList()
{
    if (!cmd_ShowPage->isEnabled()) {
        show();
        return;
    }
    if (auto *pages = qobject_cast<Form_Show_Pages *>(taskWindow(Task::ShowPage)))
        pages->showListOnActivation();
    showTask(Task::ShowPage);
}

void Form_Menu::endProgram()
{
    // exit(), not quit(): quit() would send every window a close event and
    // run their handlers on the way out.
    QCoreApplication::exit(0);
}

void Form_Menu::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    if (!event->spontaneous())
        m_shownAt = pos();
}

void Form_Menu::showEvent(QShowEvent *event)
{
    // Placed by the program, not by the window manager, which would put a
    // window shown again wherever it likes. move() to where the window
    // already is changes nothing, so the window would still go without a
    // place of its own; setting its position, even the same one, asks the
    // window manager for that place when it is mapped.
    if (!event->spontaneous() && m_shownAt) {
        move(*std::exchange(m_shownAt, std::nullopt));
        if (QWindow *window = windowHandle())
            window->setPosition(window->position());
    }
    QMainWindow::showEvent(event);
}

void Form_Menu::closeEvent(QCloseEvent *event)
{
    event->accept();
    endProgram();
}
