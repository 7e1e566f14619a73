#pragma once

#include <QStringList>
#include <QUrl>

// Hands an address to the desktop's web browser. Tests switch on recording,
// so that nothing is launched and the addresses can be checked.
namespace UrlOpener {

// False when the desktop could not open it.
bool open(const QUrl &url);

void setRecording(bool on);
QStringList takeOpened();

} // namespace UrlOpener
