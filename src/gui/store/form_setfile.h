#pragma once

#include "gui/kit/taskwindow.h"

class QPushButton;

// "ファイルの構築": builds the local data files on activation, without input,
// and reports a failure by its number.
class Form_SetFile : public TaskWindow
{
    Q_OBJECT

public:
    explicit Form_SetFile(QWidget *menu);

    QPushButton *cmd_End;

protected:
    void Form_Activate() override;
    // Also the way out of a stopped build, whose end button stays disabled.
    void closeFromFrame() override;

private:
    void cmd_End_Click();
};
