#include "gui/kit/findbox.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindBox::FindBox(QWidget *window)
    : QDialog(window)
{
    setObjectName(QStringLiteral("FindBox"));
    setWindowTitle(QStringLiteral("検索"));
    auto *label = new QLabel(QStringLiteral("データ番号または文字列"), this);
    txt_Find = new QLineEdit(this);
    txt_Find->setObjectName(QStringLiteral("txt_Find"));
    label->setBuddy(txt_Find);
    txt_Find->setAccessibleName(label->text());
    cmd_FindNext = new QPushButton(QStringLiteral("次を検索"), this);
    cmd_FindNext->setObjectName(QStringLiteral("cmd_FindNext"));
    cmd_FindNext->setDefault(true);
    lab_FindNote = new QLabel(this);
    lab_FindNote->setObjectName(QStringLiteral("lab_FindNote"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(txt_Find, 1, 0);
    layout->addWidget(cmd_FindNext, 1, 1);
    layout->addWidget(lab_FindNote, 2, 0, 1, 2);
    txt_Find->setMinimumWidth(240);

    connect(cmd_FindNext, &QPushButton::clicked, this, [this] { emit findRequested(text()); });
    connect(txt_Find, &QLineEdit::textEdited, this, [this] { setNote({}); });
    // The box goes when its window goes back to the menu.
    window->installEventFilter(this);
}

QString FindBox::text() const
{
    return txt_Find->text();
}

void FindBox::present()
{
    show();
    raise();
    activateWindow();
    txt_Find->setFocus();
    txt_Find->selectAll();
}

void FindBox::setNote(const QString &note)
{
    lab_FindNote->setText(note);
}

bool FindBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Hide)
        hide();
    return QDialog::eventFilter(watched, event);
}
