#include "QSystemNotificationPrivate.h"

#include "BusDaemonCalls.h"
#include "QSystemNotification.h"
#include "SessionEndWatcher.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

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
        // A sleep announced before the bus has the rule would be lost.
        confirmSubscriptions(QDBusConnection::systemBus());
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
