#include "gui/menu/form_menu.h"
#include "gui/kit/messagebox.h"
#include "store/textrules.h"
#include "gui/kit/look.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Look::apply();
    // Without the converter every text line would be written empty.
    if (!TextRules::codePageAvailable()) {
        MessageBox::show(nullptr, TextRules::codePageMissingText());
        return 1;
    }

    auto *menu = new Form_Menu;
    menu->Form_Load();
    // From the notification of news: straight to the pages with their list.
    if (QCoreApplication::arguments().contains(QStringLiteral("--pages-list")))
        menu->openPagesList();
    else
        menu->show();
    return app.exec();
}
