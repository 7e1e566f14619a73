#pragma once

#include "app/taskwindow.h"

class Form_Setting;

class Form_Update : public TaskWindow
{
    Q_OBJECT

public:
    Form_Update(QWidget *menu, Form_Setting *setting);

protected:
    void Form_Activate() override {}
    void closeFromFrame() override;

private:
    Form_Setting *m_setting;
};
