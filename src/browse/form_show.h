#pragma once

#include "app/taskwindow.h"

class Form_Show : public TaskWindow
{
    Q_OBJECT

public:
    explicit Form_Show(QWidget *menu);

protected:
    void Form_Activate() override {}
};
