#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QPointer>

#include <optional>

class DataSource;
class QAction;
class QPushButton;
class TaskWindow;
class Form_Setting;

// The start-up window and the hub: each button shows one task window and
// hides the menu; only the menu ends the program.
class Form_Menu : public QMainWindow
{
    Q_OBJECT

public:
    enum class Task { SetFile, Show, ShowPage, Setting, Update };

    Form_Menu();
    ~Form_Menu() override;

    // All of the program's initialisation; run once, before the first show.
    void Form_Load();

    // The settings window, created hidden on first use; its boxes show and
    // edit the data source.
    Form_Setting *setting();
    // The task window behind a button, created on first use; the menu owns it.
    TaskWindow *taskWindow(Task task);

    QPushButton *cmd_SetFile;
    QPushButton *Cmd_Show;
    QPushButton *cmd_ShowPage;
    QPushButton *Command1;
    QPushButton *cmd_Update;
    QAction *Menu_End;

    static QString versionCaption();

    // Instead of showing the menu: the pages of interest with their list
    // open, as the notification of news asks. Without the data directory
    // the menu shows as at any start.
    void openPagesList();

protected:
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void CheckDataDir();
    void CheckIndexFiles();
    void showTask(Task task);
    void endProgram();

    // The data URL and proxy for the whole run: url.dat's, then the user's.
    DataSource *m_source;
    QPointer<TaskWindow> m_windows[int(Task::Update) + 1];
    // Where the menu stood when it was hidden; it comes back there.
    std::optional<QPoint> m_shownAt;
};
