#include "form_setfile.h"

Form_SetFile::Form_SetFile(QWidget *menu)
    : TaskWindow(menu)
{
    setObjectName(QStringLiteral("Form_SetFile"));
    setWindowTitle(QStringLiteral("ファイルの構築"));
    makeClientArea(4680, 735);
}
