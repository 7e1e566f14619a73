#include "messagebox.h"

#include <QAbstractButton>
#include <QDir>
#include <QIcon>
#include <QMessageBox>

namespace {
bool s_recording = false;
QStringList s_recorded;
}

namespace MessageBox {

void show(QWidget *parent, const QString &text)
{
    if (s_recording) {
        s_recorded.append(text);
        return;
    }
    build(parent, text)->exec();
}

std::unique_ptr<QMessageBox> build(QWidget *parent, const QString &text)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("Vellumark"), text,
                                             QMessageBox::Ok, parent);
    // Some styles put an icon on a standard button; this box has none at all.
    box->button(QMessageBox::Ok)->setIcon(QIcon());
    return box;
}

void setRecording(bool on)
{
    s_recording = on;
    s_recorded.clear();
}

QStringList takeRecorded()
{
    return std::exchange(s_recorded, {});
}

QString cannotSaveText(const QString &path, const QString &reason)
{
    QString text = QStringLiteral("ファイルを保存できませんでした。\r\n") + QDir::toNativeSeparators(path);
    if (!reason.isEmpty())
        text += QStringLiteral("\r\n") + reason;
    return text;
}

} // namespace MessageBox
