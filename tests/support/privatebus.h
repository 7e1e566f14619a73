#pragma once

#include <QDBusConnection>
#include <QMutex>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

// A session bus of the test's own: a dbus-daemon started for it and stopped
// with it. Nothing else is on it.
struct PrivateBus
{
    PrivateBus();
    ~PrivateBus();

    QProcess daemon;
    QString address; // empty when the daemon did not start
};

// A notification service on a bus. It lives in a thread of its own so that it
// answers while the test waits in a blocking call. It records each call and
// answers a notification as told: a click, a close, or nothing.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    enum class Answer { Nothing, Click, Close };

    FakeNotifications(const QString &busAddress, Answer answer);
    ~FakeNotifications() override;

    // "Notify app|icon|summary|body|actions|desktop-entry", "CloseNotification id".
    QStringList calls() const;

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    uint Notify(const QString &appName, uint, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int);
    void CloseNotification(uint id) { record("CloseNotification " + QString::number(id)); }

private:
    uint record(const QString &call);
    void emitSignal(const QString &name, const QList<QVariant> &arguments);

    const Answer m_answer;
    QDBusConnection m_bus;
    QThread m_thread;
    mutable QMutex m_mutex;
    QStringList m_calls;
};
