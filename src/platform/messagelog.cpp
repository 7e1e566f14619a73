#include "platform/messagelog.h"

#include <QDir>

namespace {
bool s_recording = false;
QStringList s_recorded;
} // namespace

namespace MessageBox {

void setRecording(bool on)
{
    s_recording = on;
    s_recorded.clear();
}

QStringList takeRecorded()
{
    return std::exchange(s_recorded, {});
}

bool record(const QString &text)
{
    if (s_recording)
        s_recorded.append(text);
    return s_recording;
}

QString cannotSaveText(const QString &path, const QString &reason)
{
    QString text = QStringLiteral("ファイルを保存できませんでした。\r\n") + QDir::toNativeSeparators(path);
    if (!reason.isEmpty())
        text += QStringLiteral("\r\n") + reason;
    return text;
}

} // namespace MessageBox
