#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

// QtDBus sends a match rule without waiting for the bus to take it, so a
// signal emitted right after a subscription could be lost. A round trip to
// the bus daemon on the same connection comes back only after the rule is in.
// The daemon itself answers, so only a stuck bus makes this wait its limit.
inline void confirmSubscriptions(QDBusConnection bus)
{
    constexpr int busAnswerTimeoutMs = 5000;
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("/org/freedesktop/DBus"),
                                            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
             QDBus::Block, busAnswerTimeoutMs);
}
