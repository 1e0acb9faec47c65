#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QTimer>

// QtDBus holds back what a default bus connection made in the main thread
// receives until an event loop turns in that thread, and a message arriving
// while it lets go can be handled before the ones it held back: two signals
// sent right after start may come in the wrong order. A signal of our own,
// sent and heard back, shows delivery is live; it also comes back only after
// the bus took every match rule added before it. Main thread; false when it
// did not come back within the limit.
inline bool waitUntilDeliveryIsLive(QDBusConnection bus, int timeoutMs = 60000)
{
    const QString path = QStringLiteral("/org/quorbilan/test/probe");
    const QString interface = QStringLiteral("org.quorbilan.test.Probe");
    const QString name = QStringLiteral("Live");
    QEventLoop loop;
    const QString self = bus.baseService();
    if (!bus.connect(self, path, interface, name, &loop, SLOT(quit())))
        return false;
    QTimer::singleShot(timeoutMs, &loop, [&loop] { loop.exit(1); });
    const bool heard = bus.send(QDBusMessage::createSignal(path, interface, name)) && loop.exec() == 0;
    bus.disconnect(self, path, interface, name, &loop, SLOT(quit()));
    return heard;
}
