#pragma once

#include <QDBusConnection>
#include <QList>
#include <QMutex>
#include <QProcess>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

// A session bus of the test's own: a dbus-daemon started for it and stopped
// with it. Nothing else is on it.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Empty when the daemon did not start.
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

// A notification service on a bus, in a thread of its own so that it answers
// while the test waits in a blocking call. It records each notification and
// answers it as told: a click, a click on the "open" action, a close, or
// nothing.
class FakeNotifications : public QThread
{
    Q_OBJECT

public:
    enum class Answer { Nothing, Click, Open, Close };
    struct Call
    {
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    FakeNotifications(const QString &busAddress, Answer answer, const QStringList &capabilities);
    ~FakeNotifications() override;

    QList<Call> calls() const;
    // Notifications the sender took back.
    QList<uint> withdrawn() const;

    // Called by the service object in the thread.
    uint record(const Call &call);
    void recordWithdrawn(uint id);
    Answer answer() const { return m_answer; }
    QStringList capabilities() const { return m_capabilities; }

protected:
    void run() override;

private:
    QString m_address;
    Answer m_answer;
    QStringList m_capabilities;
    mutable QMutex m_mutex;
    QList<Call> m_calls;
    QList<uint> m_withdrawn;
    QSemaphore m_ready;
};
