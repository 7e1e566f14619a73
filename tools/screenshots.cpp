// Renders every window of the program to PNG files, headless, for review of
// layout and captions and for the README's pictures:
//   screenshots <output directory> [program directory] [--today yyyy-mm-dd]
// Without a program directory it lays out the sample data set in a temporary
// one and serves its daily status pages with Python's http.server, so every
// window shows sample data. A given program directory is copied first and
// left untouched. --today fixes the date the windows work with.

#include "gui/menu/form_menu.h"
#include "gui/browse/form_show.h"
#include "gui/browse/form_show_pages.h"
#include "httpserver.h"
#include "platform/clock.h"
#include "platform/datetext.h"
#include "gui/kit/messagebox.h"
#include "platform/programdir.h"
#include "platform/runerror.h"
#include "platform/settingsstore.h"
#include "gui/remote/form_update.h"
#include "sampledata.h"
#include "gui/kit/look.h"
#include "gui/kit/taskwindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    bool ok = true;
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).path());
        ok = QFile::copy(file, target) && ok;
    }
    // An empty data directory still counts for the menu.
    if (QFileInfo(from + QStringLiteral("/data")).isDir())
        QDir(to).mkpath(QStringLiteral("data"));
    return ok;
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Shows a task window from the menu and waits until its activation has run.
void showAndWait(Form_Menu &menu, TaskWindow *window)
{
    QEventLoop loop;
    QObject::connect(window, &TaskWindow::activationDone, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    window->showFromMenu();
    menu.hide();
    loop.exec();
    settle(300);
}

bool save(QWidget *window, const QString &path)
{
    window->adjustSize();
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(QDir::toNativeSeparators(path)));
    return ok;
}

// The find box over the browser after a find, and the list of the pages of
// interest: the commands that live in the browsing windows' menu bars.
bool saveAdditions(TaskWindow *window, const QString &out)
{
    if (auto *find = window->findChild<QAction *>(QStringLiteral("Menu_Find"))) {
        find->trigger();
        auto *box = window->findChild<QDialog *>(QStringLiteral("FindBox"));
        box->findChild<QLineEdit *>(QStringLiteral("txt_Find"))->setText(QStringLiteral("ＢＬＵＥ"));
        box->findChild<QPushButton *>(QStringLiteral("cmd_FindNext"))->click();
        settle(100);
        box->adjustSize();
        // One picture: the box below the window.
        const QPixmap windowPicture = window->grab();
        const QPixmap boxPicture = box->grab();
        QPixmap picture(qMax(windowPicture.width(), boxPicture.width()),
                        windowPicture.height() + boxPicture.height() + 8);
        picture.fill(window->palette().color(QPalette::Window));
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, windowPicture);
        painter.drawPixmap(picture.width() - boxPicture.width(), windowPicture.height() + 8, boxPicture);
        painter.setPen(QPen(Qt::darkGray, 1));
        painter.drawLine(0, windowPicture.height() + 4, picture.width(), windowPicture.height() + 4);
        painter.end();
        box->hide();
        const QString path = out + QStringLiteral("/find.png");
        const bool ok = picture.save(path);
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(QDir::toNativeSeparators(path)));
        return ok;
    }
    if (auto *list = window->findChild<QAction *>(QStringLiteral("Menu_List"))) {
        list->trigger();
        settle(100);
        auto *dialog = window->findChild<QDialog *>(QStringLiteral("PagesList"));
        const QString path = out + QStringLiteral("/pages_list.png");
        const bool ok = dialog && dialog->grab().save(path);
        std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(QDir::toNativeSeparators(path)));
        if (dialog)
            dialog->close();
        return ok;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Look::apply();
    QStringList args = app.arguments().mid(1);
    QDate today = QDate::currentDate();
    const qsizetype dateAt = args.indexOf(QStringLiteral("--today"));
    if (dateAt >= 0) {
        today = QDate::fromString(args.value(dateAt + 1), Qt::ISODate);
        args.remove(dateAt, 2);
    }
    if (args.isEmpty() || args.size() > 2 || !today.isValid()) {
        std::fprintf(stderr, "usage: screenshots <output directory> [program directory] [--today yyyy-mm-dd]\n");
        return 2;
    }
    // Absolute: the menu's start-up moves the current directory to AppDir.
    const QString out = QDir(args[0]).absolutePath();
    QDir().mkpath(out);
    // Noon, so the date stays put while the windows are shown.
    if (dateAt >= 0)
        Clock::instance().setTestTime(QDateTime(today, QTime(12, 0)));

    QTemporaryDir work;
    QTemporaryDir settings;
    SettingsStore::useFile(settings.path() + QStringLiteral("/settings.ini"));
    const QString programDir = work.path() + QStringLiteral("/program");
    const QString www = work.path() + QStringLiteral("/www");
    HttpServer server;
    if (args.size() == 2) {
        if (!copyTree(args[1], programDir)) {
            std::fprintf(stderr, "could not copy %s\n", qPrintable(args[1]));
            return 1;
        }
    } else {
        // Without it the download window finds no pages, which still shows the window.
        if (const QString why = server.start(www); !why.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(why));
        SampleData::Layout layout;
        layout.programDir = programDir;
        layout.pagesDir = www + QStringLiteral("/daily");
        layout.dataUrl = server.url() + QStringLiteral("daily/");
        layout.today = today;
        try {
            SampleData::layOut(layout);
        } catch (const RunError &error) {
            std::fprintf(stderr, "sample data: %s %s\n", qPrintable(error.reason()), qPrintable(error.detail()));
            return 1;
        }
    }
    ProgramDir::setReported(programDir);
    MessageBox::setRecording(true);

    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    settle(200);
    bool ok = save(&menu, out + QStringLiteral("/menu.png"));

    // In the order a new user goes: build, browse, download, then the pages
    // of interest with what the download brought.
    struct Shot
    {
        Form_Menu::Task task;
        const char *file;
        int nextClicks; // pages forward in a browsing window
    };
    const Shot shots[] = {
        {Form_Menu::Task::SetFile, "setfile.png", 0}, {Form_Menu::Task::Show, "show.png", 1},
        {Form_Menu::Task::Update, "update.png", 0},   {Form_Menu::Task::ShowPage, "show_pages.png", 0},
        {Form_Menu::Task::Setting, "setting.png", 0},
    };
    for (const Shot &shot : shots) {
        TaskWindow *window = menu.taskWindow(shot.task);
        showAndWait(menu, window);
        if (auto *show = qobject_cast<Form_Show *>(window)) {
            for (int i = 0; i < shot.nextClicks; ++i)
                show->Cmd_Next_Click();
            settle(100);
        }
        if (auto *pages = qobject_cast<Form_Show_Pages *>(window)) {
            // Show a page of interest whose state came from the download.
            const QString served = DateText::format(today.addDays(-13));
            auto *checked = pages->findChild<QLabel *>(QStringLiteral("lab_Kakunin"));
            auto *next = pages->findChild<QPushButton *>(QStringLiteral("Cmd_Next"));
            for (int i = 0; i < 50 && checked && next && next->isEnabled() && checked->text() < served; ++i)
                pages->Cmd_Next_Click();
            settle(100);
        }
        ok = save(window, out + QLatin1Char('/') + QLatin1String(shot.file)) && ok;
        ok = saveAdditions(window, out) && ok;
        if (auto *update = qobject_cast<Form_Update *>(window))
            update->cmd_OK_Click();
        else
            window->close();
        settle(100);
    }
    for (const QString &text : MessageBox::takeRecorded())
        std::printf("message: %s\n", qPrintable(text));
    return ok ? 0 : 1;
}
