#pragma once

#include "app/taskwindow.h"

class Form_SetFile : public TaskWindow
{
    Q_OBJECT

public:
    explicit Form_SetFile(QWidget *menu);

protected:
    void Form_Activate() override {}
};
