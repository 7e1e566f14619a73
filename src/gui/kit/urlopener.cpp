#include "gui/kit/urlopener.h"

#include <QDesktopServices>

namespace {
bool s_recording = false;
QStringList s_opened;
} // namespace

namespace UrlOpener {

bool open(const QUrl &url)
{
    if (s_recording) {
        s_opened.append(url.toString());
        return true;
    }
    return QDesktopServices::openUrl(url);
}

void setRecording(bool on)
{
    s_recording = on;
    s_opened.clear();
}

QStringList takeOpened()
{
    return std::exchange(s_opened, {});
}

} // namespace UrlOpener
