#include "platform/clock.h"

#include <QMetaMethod>

Clock &Clock::instance()
{
    static Clock clock;
    return clock;
}

Clock::Clock()
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        emit secondChanged();
        armTimer();
    });
}

QDateTime Clock::now() const
{
    return m_test ? m_testNow : QDateTime::currentDateTime();
}

QDate Clock::today() const
{
    return now().date();
}

int Clock::secondsSinceMidnight() const
{
    return now().time().msecsSinceStartOfDay() / 1000;
}

QDate Clock::addDays(const QDate &date, int days)
{
    return date.addDays(days);
}

void Clock::setTestTime(const QDateTime &now)
{
    m_test = true;
    m_testNow = now;
    m_timer.stop();
}

void Clock::advance(int seconds)
{
    for (int i = 0; i < seconds; ++i) {
        m_testNow = m_testNow.addSecs(1);
        emit secondChanged();
    }
}

void Clock::useSystemTime()
{
    m_test = false;
    armTimer();
}

// The real clock wakes once a second, and only while somebody listens, so a
// long wait costs no processor time.
void Clock::armTimer()
{
    if (m_test || m_listeners <= 0) {
        m_timer.stop();
        return;
    }
    const int msIntoSecond = QTime::currentTime().msec();
    m_timer.start(1000 - msIntoSecond + 1);
}

// Qt may call these while it holds its connection lock, so they only count:
// asking whether the signal is connected here would deadlock.
void Clock::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&Clock::secondChanged) && ++m_listeners == 1)
        armTimer();
}

void Clock::disconnectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&Clock::secondChanged) && --m_listeners <= 0) {
        m_listeners = 0;
        m_timer.stop();
    }
}
