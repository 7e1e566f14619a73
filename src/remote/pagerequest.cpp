#include "remote/pagerequest.h"

#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/runerror.h"

#include <QEventLoop>

namespace {

// Ticks of the whole-second clock after which a request is given up.
const qint16 kTimeoutTicks = 300;

} // namespace

PageRequest::PageRequest(Inet *inet, QObject *parent)
    : QObject(parent),
      Inet1(inet)
{
    connect(Inet1, &Inet::StateChanged, this, [this](qint16 state) {
        Inet1_StateChanged(state);
        if (WaitFlag != 1 && m_waitLoop)
            m_waitLoop->quit();
    });
}

UpdateRun::Response PageRequest::fetch(const QString &url)
{
    UpdateRun::Response response;
    response.header = requestPage(url);
    response.body = ResponseText;
    response.failure = m_failure;
    response.unreachable = m_unreachable;
    return response;
}

QString PageRequest::requestPage(const QString &url)
{
    m_failure.clear();
    m_unreachable = false;
    Inet1->Execute(url, QStringLiteral("GET"));
    WaitFlag = 1;
    WaitForResponse();
    return Inet1->GetHeader();
}

// Waits in an event loop that wakes for the transfer's events and the
// clock's ticks only, so a stalled server costs no processor time.
void PageRequest::WaitForResponse()
{
    WaitFlag = 1;
    Clock &clock = Clock::instance();
    qint32 lastSecond = clock.secondsSinceMidnight();
    qint16 ticks = 0;

    QEventLoop loop;
    const QMetaObject::Connection tick = connect(&clock, &Clock::secondChanged, &loop, [&] {
        const qint32 now = clock.secondsSinceMidnight();
        if (now == lastSecond || WaitFlag != 1)
            return;
        ++ticks;
        lastSecond = now;
        if (ticks == kTimeoutTicks) {
            m_failure = QStringLiteral("タイムアウト");
            m_unreachable = true;
            WaitFlag = 0;
            ResponseText.clear();
            Inet1->Cancel();
            loop.quit();
        }
    });

    m_waitLoop = &loop;
    if (WaitFlag == 1)
        loop.exec();
    m_waitLoop = nullptr;
    disconnect(tick);

    // The loop also ends when the application does; the request is given up.
    if (WaitFlag == 1) {
        WaitFlag = 0;
        ResponseText.clear();
        Inet1->Cancel();
    }
}

void PageRequest::Inet1_StateChanged(qint16 State)
{
    try {
        switch (State) {
        case Inet::icResponseCompleted:
            WaitFlag = 0;
            if (Inet1->Protocol() == Inet::icHTTP) {
                // The whole body is read here, before the wait sees the flag.
                QString chunk = Inet1->GetChunk(1024, Inet::icString);
                ResponseText = chunk;
                while (!chunk.isEmpty()) {
                    chunk = Inet1->GetChunk(1024, Inet::icString);
                    ResponseText += chunk;
                }
            }
            break;
        case Inet::icError:
            m_failure = Inet1->failure();
            m_unreachable = Inet1->unreachable();
            Inet1->Cancel();
            ResponseText.clear();
            WaitFlag = 0;
            break;
        default:
            break;
        }
    } catch (const RunError &error) {
        m_failure = error.reason();
        Inet1->Cancel();
        WaitFlag = 0;
        ResponseText.clear();
    }
}
