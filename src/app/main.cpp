#include "app/form_menu.h"
#include "ui/look.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Look::apply();

    auto *menu = new Form_Menu;
    menu->Form_Load();
    menu->show();
    return app.exec();
}
