#pragma once

#include "app/taskwindow.h"

class Form_Show_Pages : public TaskWindow
{
    Q_OBJECT

public:
    explicit Form_Show_Pages(QWidget *menu);

protected:
    void Form_Activate() override {}
};
