#pragma once

#include "gui/kit/taskwindow.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;

// The data URL and proxy. Its two boxes are the live store of both values
// for the whole run; OK writes them to url.dat and returns to the menu.
class Form_Setting : public TaskWindow
{
    Q_OBJECT

public:
    explicit Form_Setting(QWidget *menu);

    QLineEdit *txt_URL;
    QLineEdit *txt_Proxy;

    // The data URL and proxy for the download: what the boxes hold now.
    QString dataUrl() const;
    QString proxy() const;

    void cmd_OK_Click();
    // Switches the daily check of this program directory on or off.
    void Menu_Schedule_Click();

    QAction *Menu_Schedule;

protected:
    void Form_Activate() override;
    void closeFromFrame() override { cmd_OK_Click(); }

private:
    QLabel *Label1;
    QLabel *Label2;
    QPushButton *cmd_OK;
};
