#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTimer>

// Today's date and the whole-second clock. Tests set the time and move it on
// by hand, so nothing in a test waits for real time to pass.
class Clock : public QObject
{
    Q_OBJECT

public:
    static Clock &instance();

    QDate today() const;
    QDateTime now() const;
    int secondsSinceMidnight() const;
    static QDate addDays(const QDate &date, int days);

    // A clock that stands still until advance() moves it.
    void setTestTime(const QDateTime &now);
    void advance(int seconds = 1);
    void useSystemTime();

signals:
    // The whole-second clock has moved on by one change.
    void secondChanged();

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    Clock();
    void armTimer();

    bool m_test = false;
    int m_listeners = 0;
    QDateTime m_testNow;
    QTimer m_timer;
};
