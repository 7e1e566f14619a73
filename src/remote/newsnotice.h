#pragma once

#include "platform/notifier.h"
#include "remote/updaterun.h"

#include <QList>
#include <QString>

#include <chrono>

// The desktop notification after a download without windows that brought
// news of pages of interest; its action opens them with their list.
namespace NewsNotice {

// How long a notification waits for a click before it is withdrawn.
constexpr std::chrono::minutes kWait{15};

// The summary, and the titles of the first five pages a line each, then
// "ほか N 件" for the rest.
Notifier::Message message(const QList<UpdateRun::News> &news);

// Sends the notification when there is news and, on a click, starts program
// with "--pages-list". Call it after the lock of the program directory is
// released: it may wait long.
// Returns a line for the log when nothing could be sent, otherwise empty.
QString tell(const QList<UpdateRun::News> &news, const QString &program, std::chrono::milliseconds wait = kWait);

} // namespace NewsNotice
