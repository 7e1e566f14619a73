#pragma once

#include <QString>

#include <chrono>

// A desktop notification over the session bus (org.freedesktop.Notifications)
// with one action to open the program, waited on for a bounded time.
namespace Notifier {

struct Message
{
    QString summary;
    QString body; // plain text; lines end in "\n"
    QString actionLabel; // the button; a click on the notification does the same
};

struct Result
{
    bool sent = false;
    bool opened = false; // the user asked to open the program
    QString failure; // why nothing was sent, in words
};

// Sends the message and waits until the user clicks it or its action, the
// notification is closed, or wait has passed (then it is withdrawn, so no
// action is left that nobody answers). No bus or no notification service is
// no failure of the caller: the result says why nothing was sent.
Result notify(const Message &message, std::chrono::milliseconds wait);

} // namespace Notifier
