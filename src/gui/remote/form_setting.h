#pragma once

#include "gui/kit/taskwindow.h"

class DataSource;
class QAction;
class QLabel;
class QLineEdit;
class QPushButton;

// The data URL and proxy. Its two boxes show and edit the run's data source;
// OK writes them to url.dat and returns to the menu.
class Form_Setting : public TaskWindow
{
    Q_OBJECT

public:
    Form_Setting(QWidget *menu, DataSource *source);

    QLineEdit *txt_URL;
    QLineEdit *txt_Proxy;

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
    DataSource *m_source;
};
