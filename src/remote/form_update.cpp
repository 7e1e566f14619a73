#include "form_update.h"

Form_Update::Form_Update(QWidget *menu, Form_Setting *setting)
    : TaskWindow(menu)
    , m_setting(setting)
{
    setObjectName(QStringLiteral("Form_Update"));
    setWindowTitle(QStringLiteral("更新状況確認"));
    makeClientArea(4680, 3600);
}

void Form_Update::closeFromFrame()
{
    // This window is made afresh for every visit.
    returnToMenu();
    deleteLater();
}
