#include "form_show_pages.h"

Form_Show_Pages::Form_Show_Pages(QWidget *menu)
    : TaskWindow(menu)
{
    setObjectName(QStringLiteral("Form_Show_Pages"));
    setWindowTitle(QStringLiteral("気になるページ"));
    makeClientArea(6030, 6255);
}
