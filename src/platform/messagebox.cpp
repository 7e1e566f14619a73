#include "messagebox.h"

#include <QMessageBox>

namespace MessageBox {

void show(QWidget *parent, const QString &text)
{
    if (record(text))
        return;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vellumark"), text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace MessageBox
