#include "privatebus.h"

#include <QDBusMessage>
#include <QTimer>

PrivateBus::PrivateBus()
{
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    // Nothing to read where it did not start: the address stays empty.
    while (!daemon.canReadLine() && daemon.waitForReadyRead(10000)) {
    }
    address = QString::fromUtf8(daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    daemon.kill();
    daemon.waitForFinished();
}

static const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
static const QString kName = QStringLiteral("fake-notifications");

FakeNotifications::FakeNotifications(const QString &busAddress, Answer answer)
    : m_answer(answer),
      m_bus(QDBusConnection::connectToBus(busAddress, kName))
{
    moveToThread(&m_thread);
    m_thread.start();
    m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
    m_bus.registerService("org.freedesktop.Notifications");
}

FakeNotifications::~FakeNotifications()
{
    m_bus.unregisterObject(kPath);
    m_thread.quit();
    m_thread.wait();
    QDBusConnection::disconnectFromBus(kName);
}

uint FakeNotifications::Notify(const QString &appName, uint, const QString &icon, const QString &summary,
                               const QString &body, const QStringList &actions, const QVariantMap &hints, int)
{
    const uint id = record(QStringList{"Notify " + appName, icon, summary, body, actions.join(','),
                                       hints.value("desktop-entry").toString()}
                               .join('|'));
    // After the reply, as a user's click comes.
    QTimer::singleShot(0, this, [this, id] {
        if (m_answer == Answer::Click)
            emitSignal("ActionInvoked", {id, QStringLiteral("default")});
        if (m_answer != Answer::Nothing)
            emitSignal("NotificationClosed", {id, uint(2)});
    });
    return id;
}

void FakeNotifications::emitSignal(const QString &name, const QList<QVariant> &arguments)
{
    QDBusMessage signal = QDBusMessage::createSignal(kPath, "org.freedesktop.Notifications", name);
    signal.setArguments(arguments);
    m_bus.send(signal);
}

QStringList FakeNotifications::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

uint FakeNotifications::record(const QString &call)
{
    QMutexLocker lock(&m_mutex);
    m_calls.append(call);
    return uint(m_calls.size()) + 40; // any id but 0
}
