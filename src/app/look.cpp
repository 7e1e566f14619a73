#include "look.h"

#include <QApplication>
#include <QFont>

namespace Look {

void apply()
{
    // The layouts are measured for a 9-point Japanese UI font.
    QFont font = QApplication::font();
    font.setPointSize(9);
    QApplication::setFont(font);
    // Only the menu ends the program; a hidden hub is no reason to quit.
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace Look
