#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

// Calls to the bus daemon itself: it answers at once, so only a stuck bus
// makes one wait this long.
inline constexpr int busDaemonAnswerTimeoutMs = 5000;

inline QDBusMessage busDaemonMethod(const QString& interface, const QString& method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                          QStringLiteral("/org/freedesktop/DBus"), interface, method);
}

// QtDBus sends a match rule without waiting for the bus to take it, so a
// signal emitted right after a subscription could be lost. A round trip to
// the bus daemon on the same connection comes back only after the rule is in.
inline void confirmSubscriptions(QDBusConnection bus)
{
    bus.call(busDaemonMethod(QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")), QDBus::Block,
             busDaemonAnswerTimeoutMs);
}

// Whether some program holds `name` on the bus now.
inline bool nameHasOwner(QDBusConnection bus, const QString& name)
{
    QDBusMessage call = busDaemonMethod(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, busDaemonAnswerTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
}
