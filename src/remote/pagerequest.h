#pragma once

#include <QObject>
#include <QString>

#include "remote/updaterun.h"

class Inet;
class QEventLoop;

// The request of one status page over the transfer control: GET, then a wait
// on the whole-second clock that gives up after 300 ticks. A transfer error
// or the time-out gives an empty page and says why; nothing here shows
// anything.
class PageRequest : public QObject
{
    Q_OBJECT

public:
    // The transfer control stays its owner's; it must outlive the request.
    explicit PageRequest(Inet *inet, QObject *parent = nullptr);

    // The body of the last response, and 1 while a request is awaited.
    QString ResponseText;
    qint16 WaitFlag = 0;

    // Fetches one page: the header block is returned, the body left in ResponseText.
    QString requestPage(const QString &url);
    void WaitForResponse();
    void Inet1_StateChanged(qint16 State);

    // One page as the download takes it.
    UpdateRun::Response fetch(const QString &url);

    // Why the last request brought no response; empty when it did.
    const QString &failure() const { return m_failure; }

private:
    Inet *Inet1;
    QEventLoop *m_waitLoop = nullptr;
    QString m_failure;
    bool m_unreachable = false;
};
