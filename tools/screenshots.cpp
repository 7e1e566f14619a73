// Renders every window of the program to PNG files, headless, for review of
// layout and captions: screenshots <output directory> [program directory].
// Without a program directory it lays out a small sample one of its own.

#include "app/form_menu.h"
#include "app/look.h"
#include "app/taskwindow.h"
#include "platform/messagebox.h"
#include "platform/programdir.h"
#include "platform/settingsstore.h"
#include "store/textfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

void writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(TextRules::encode(text));
}

// The worked example of the local data files, so that the windows show data.
void layOutSample(const QString &dir)
{
    const QString crlf = QStringLiteral("\r\n");
    writeFile(dir + QStringLiteral("/url.dat"), QStringLiteral("http://127.0.0.1:9/daily/") + crlf + crlf);
    writeFile(dir + QStringLiteral("/all-info.idf"),
              QStringList{QStringLiteral("2000/05/20"), QStringLiteral("3"), QStringLiteral("2"),
                          QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("0,トップ"),
                          QStringLiteral("1,音楽"), QStringLiteral("2,ジャズ"), QStringLiteral("\"<END>\""),
                          QStringLiteral("0,1"), QStringLiteral("1,2"), QStringLiteral("\"<END>\""),
                          QStringLiteral("7,ジャズ・コーナー,新譜のレビュー,http://www.example.com/jazz/"),
                          QStringLiteral("12,ブルー・ノート,週刊コラム,http://www.example.org/blue/"),
                          QStringLiteral("\"<END>\""), QStringLiteral("7,2"), QStringLiteral("12,2"),
                          QStringLiteral("12,1"), QStringLiteral("\"<END>\"")}
                      .join(crlf)
                  + crlf);
    writeFile(dir + QStringLiteral("/update.idf"),
              QStringLiteral("2000/05/20") + crlf + QStringLiteral("7,#2000/05/18 21:04:33#,#2000/05/20#,1") + crlf
                  + QStringLiteral("12,#2000/05/19 08:15:00#,#2000/05/20#,4") + crlf);
    writeFile(dir + QStringLiteral("/pages.udf"),
              QStringLiteral(" 2 ") + crlf + QStringLiteral("000007 ジャズ・コーナー") + crlf
                  + QStringLiteral("000012 ブルー・ノート") + crlf);
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget *window, const QString &path)
{
    window->adjustSize();
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(QDir::toNativeSeparators(path)));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Look::apply();
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshots <output directory> [program directory]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    QTemporaryDir sample;
    QTemporaryDir settings;
    QString programDir;
    if (argc >= 3) {
        programDir = QString::fromLocal8Bit(argv[2]);
    } else {
        programDir = sample.path();
        layOutSample(programDir);
        QDir(programDir).mkdir(QStringLiteral("data"));
    }
    ProgramDir::setReported(programDir);
    SettingsStore::useFile(settings.path() + QStringLiteral("/settings.ini"));
    SettingsStore::save(QStringLiteral("Date"), QStringLiteral("Update"), QStringLiteral("2000/05/20"));
    MessageBox::setRecording(true);

    Form_Menu menu;
    menu.Form_Load();
    menu.show();
    settle(200);
    bool ok = save(&menu, out + QStringLiteral("/menu.png"));

    struct Shot
    {
        Form_Menu::Task task;
        const char *file;
    };
    const Shot shots[] = {
        {Form_Menu::Task::SetFile, "setfile.png"}, {Form_Menu::Task::Show, "show.png"},
        {Form_Menu::Task::ShowPage, "show_pages.png"}, {Form_Menu::Task::Setting, "setting.png"},
        {Form_Menu::Task::Update, "update.png"},
    };
    for (const Shot &shot : shots) {
        TaskWindow *window = menu.taskWindow(shot.task);
        window->showFromMenu();
        menu.hide();
        settle(1500);
        ok = save(window, out + QLatin1Char('/') + QLatin1String(shot.file)) && ok;
        window->close();
        settle(100);
    }
    for (const QString &text : MessageBox::takeRecorded())
        std::printf("message: %s\n", qPrintable(text));
    return ok ? 0 : 1;
}
