#include "privatebus.h"

#include <QDBusMessage>
#include <QTimer>

PrivateBus::PrivateBus()
{
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    if (!m_daemon.waitForStarted())
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished();
    }
}

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

class Service : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    Service(FakeNotifications *owner, const QDBusConnection &bus)
        : m_owner(owner),
          m_bus(bus)
    {
    }

public slots:
    QStringList GetCapabilities() { return m_owner->capabilities(); }

    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion)
    {
        vendor = QStringLiteral("tests");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("fake");
    }

    uint Notify(const QString &appName, uint, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int)
    {
        const uint id = m_owner->record({appName, icon, summary, body, actions, hints});
        // After the reply, as a user's click comes.
        QTimer::singleShot(0, this, [this, id] { answer(id); });
        return id;
    }

    void CloseNotification(uint id) { m_owner->recordWithdrawn(id); }

private:
    void answer(uint id)
    {
        switch (m_owner->answer()) {
        case FakeNotifications::Answer::Nothing:
            return;
        case FakeNotifications::Answer::Click:
            emitSignal(QStringLiteral("ActionInvoked"), {id, QStringLiteral("default")});
            break;
        case FakeNotifications::Answer::Open:
            emitSignal(QStringLiteral("ActionInvoked"), {id, QStringLiteral("open")});
            break;
        case FakeNotifications::Answer::Close:
            break;
        }
        emitSignal(QStringLiteral("NotificationClosed"), {id, uint(2)});
    }

    void emitSignal(const QString &name, const QList<QVariant> &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

    FakeNotifications *m_owner;
    QDBusConnection m_bus;
};

} // namespace

FakeNotifications::FakeNotifications(const QString &busAddress, Answer answer, const QStringList &capabilities)
    : m_address(busAddress),
      m_answer(answer),
      m_capabilities(capabilities)
{
    start();
    m_ready.acquire(); // the name is on the bus
}

FakeNotifications::~FakeNotifications()
{
    quit();
    wait();
}

QList<FakeNotifications::Call> FakeNotifications::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

QList<uint> FakeNotifications::withdrawn() const
{
    QMutexLocker lock(&m_mutex);
    return m_withdrawn;
}

uint FakeNotifications::record(const Call &call)
{
    QMutexLocker lock(&m_mutex);
    m_calls.append(call);
    return uint(m_calls.size()) + 40; // any id but 0
}

void FakeNotifications::recordWithdrawn(uint id)
{
    QMutexLocker lock(&m_mutex);
    m_withdrawn.append(id);
}

void FakeNotifications::run()
{
    const QString name = QStringLiteral("fake-notifications");
    {
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, name);
        Service service(this, bus);
        bus.registerObject(kPath, &service, QDBusConnection::ExportAllSlots);
        bus.registerService(kInterface);
        m_ready.release();
        exec();
        bus.unregisterService(kInterface);
        bus.unregisterObject(kPath);
    }
    QDBusConnection::disconnectFromBus(name);
}

#include "privatebus.moc"
