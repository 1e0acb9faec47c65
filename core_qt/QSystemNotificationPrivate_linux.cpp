#include "QSystemNotificationPrivate.h"

#include "QSystemNotification.h"
#include "SessionEndWatcher.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

// How long the bus daemon may take to confirm the subscription. It is the bus
// itself that answers, so only a stuck bus makes this wait; a busy machine
// can take longer than a second.
constexpr int busAnswerTimeoutMs = 5000;

// Relays logind's PrepareForSleep(true/false) as sleep and wake; QtDBus
// needs a slot for it. A child of the notification, so it goes with it.
class SleepRelay : public QObject
{
    Q_OBJECT

public:
    explicit SleepRelay(QSystemNotification* owner)
        : QObject(owner)
        , owner(owner)
    {
    }

    void connectToLogind()
    {
        if (!follow(true))
            return;
        // QtDBus sends the match rule without waiting for the bus to take it;
        // a sleep announced before the bus has it would be lost. A round trip
        // on the same connection comes back only after the rule is in.
        QDBusConnection::systemBus().call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                                         QStringLiteral("/org/freedesktop/DBus"),
                                                                         QStringLiteral("org.freedesktop.DBus.Peer"),
                                                                         QStringLiteral("Ping")),
                                          QDBus::Block, busAnswerTimeoutMs);
    }
    void disconnectFromLogind() { follow(false); }

private slots:
    void prepareForSleep(bool sleeping)
    {
        if (sleeping)
            emit owner->enterSleepMode();
        else
            emit owner->wakeUp();
    }

private:
    // Whether the bus took the request.
    bool follow(bool on)
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected())
            return false;
        const QString service = QStringLiteral("org.freedesktop.login1");
        const QString path = QStringLiteral("/org/freedesktop/login1");
        const QString interface = QStringLiteral("org.freedesktop.login1.Manager");
        const QString name = QStringLiteral("PrepareForSleep");
        if (on)
            return bus.connect(service, path, interface, name, this, SLOT(prepareForSleep(bool)));
        return bus.disconnect(service, path, interface, name, this, SLOT(prepareForSleep(bool)));
    }

    QSystemNotification* owner;
};

} // namespace

// Linux hands no session messages to native filters: there is nothing to sort.
bool QSystemNotificationPrivate::nativeEventFilter(const QByteArray& /*eventType*/, void* /*message*/,
                                                   qintptr* /*result*/)
{
    return false;
}

// The session's end comes the way the window bases see it; sleep and wake
// from logind on the system bus, where there is one.
void QSystemNotificationPrivate::installFilter()
{
    QObject::connect(SessionEndWatcher::instance(), &SessionEndWatcher::sessionEnding, owner,
                     &QSystemNotification::userLoggedOut);
    auto* relay = new SleepRelay(owner);
    relay->setObjectName(QStringLiteral("SleepRelay"));
    relay->connectToLogind();
}

void QSystemNotificationPrivate::removeFilter()
{
    if (auto* relay = owner->findChild<SleepRelay*>(QStringLiteral("SleepRelay"), Qt::FindDirectChildrenOnly))
        relay->disconnectFromLogind();
}

#include "QSystemNotificationPrivate_linux.moc"
