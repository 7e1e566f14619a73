#include "gui/kit/look.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace Look {

void apply()
{
    // The layouts are measured for a 9-point Japanese UI font, whose Latin
    // letters are narrower than those of most Western UI fonts.
    QFont font = QApplication::font();
    const QStringList installed = QFontDatabase::families();
    for (const char *family : {"MS UI Gothic", "Yu Gothic UI", "Meiryo UI", "IPAPGothic", "Noto Sans CJK JP"}) {
        if (installed.contains(QLatin1String(family))) {
            font.setFamily(QLatin1String(family));
            break;
        }
    }
    font.setPointSize(9);
    QApplication::setFont(font);
    // Only the menu ends the program; a hidden hub is no reason to quit.
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace Look
