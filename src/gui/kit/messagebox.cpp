#include "gui/kit/messagebox.h"

#include <QAbstractButton>
#include <QIcon>
#include <QMessageBox>

namespace MessageBox {

void show(QWidget *parent, const QString &text)
{
    if (record(text))
        return;
    build(parent, text)->exec();
}

std::unique_ptr<QMessageBox> build(QWidget *parent, const QString &text)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("Vellumark"), text, QMessageBox::Ok,
                                             parent);
    // Some styles put an icon on a standard button; this box has none at all.
    box->button(QMessageBox::Ok)->setIcon(QIcon());
    return box;
}

} // namespace MessageBox
