#include "platform/notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEventLoop>
#include <QList>
#include <QPair>
#include <QTimer>

namespace Notifier {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kOpen = QStringLiteral("open");
constexpr int kCallTimeoutMs = 10 * 1000;

// Collects the service's signals; they may arrive before the id of the
// notification they are about is known.
class Listener : public QObject
{
    Q_OBJECT

public:
    QList<QPair<uint, QString>> actions;
    QList<uint> closed;

signals:
    void changed();

public slots:
    void actionInvoked(uint id, const QString &key)
    {
        actions.append({id, key});
        emit changed();
    }
    void notificationClosed(uint id, uint)
    {
        closed.append(id);
        emit changed();
    }
};

QString escapeMarkup(QString text)
{
    text.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    text.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    text.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    return text;
}

QDBusMessage call(const QString &method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

Result send(QDBusConnection &bus, const Message &message, std::chrono::milliseconds wait)
{
    if (!bus.isConnected())
        return {false, false,
                QStringLiteral("セッションバスにつながりません（") + bus.lastError().message() + QStringLiteral("）")};
    const QDBusReply<QStringList> capabilities = bus.call(call(QStringLiteral("GetCapabilities")), QDBus::Block,
                                                          kCallTimeoutMs);
    if (!capabilities.isValid())
        return {false, false,
                QStringLiteral("通知のサービスがありません（") + capabilities.error().message() + QStringLiteral("）")};
    // A service that reads markup would take a title's "<" for a tag.
    const QString body = capabilities.value().contains(QStringLiteral("body-markup")) ? escapeMarkup(message.body)
                                                                                      : message.body;

    Listener listener;
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), &listener,
                SLOT(actionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), &listener,
                SLOT(notificationClosed(uint, uint)));

    QDBusMessage notify = call(QStringLiteral("Notify"));
    notify << QStringLiteral("Vellumark") << uint(0) << QStringLiteral("vellumark") << message.summary << body
           << QStringList{QStringLiteral("default"), message.actionLabel, kOpen, message.actionLabel}
           << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("vellumark")}} << int(-1);
    const QDBusReply<uint> id = bus.call(notify, QDBus::Block, kCallTimeoutMs);
    if (!id.isValid())
        return {false, false, QStringLiteral("通知を出せませんでした（") + id.error().message() + QStringLiteral("）")};

    Result result;
    result.sent = true;
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool done = false;
    const auto check = [&] {
        for (const auto &action : std::as_const(listener.actions)) {
            if (action.first == id.value() && (action.second == QLatin1String("default") || action.second == kOpen)) {
                result.opened = true;
                done = true;
            }
        }
        if (listener.closed.contains(id.value()))
            done = true;
        if (done)
            loop.quit();
    };
    QObject::connect(&listener, &Listener::changed, &loop, check);
    check();
    if (!done) {
        bound.start(wait);
        loop.exec();
    }
    if (!done) {
        QDBusMessage close = call(QStringLiteral("CloseNotification"));
        close << id.value();
        bus.call(close, QDBus::Block, kCallTimeoutMs);
    }
    return result;
}

} // namespace

Result notify(const Message &message, std::chrono::milliseconds wait)
{
    // A connection of its own, made for this notification: it reads the
    // session bus address anew and is gone afterwards.
    const QString name = QStringLiteral("vellumark-notify");
    Result result;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        result = send(bus, message, wait);
    }
    QDBusConnection::disconnectFromBus(name);
    return result;
}

} // namespace Notifier

#include "notifier.moc"
