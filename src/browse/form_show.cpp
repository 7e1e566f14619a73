#include "form_show.h"

Form_Show::Form_Show(QWidget *menu)
    : TaskWindow(menu)
{
    setObjectName(QStringLiteral("Form_Show"));
    setWindowTitle(QStringLiteral("登録内容の表示"));
    makeClientArea(6090, 6645);
}
