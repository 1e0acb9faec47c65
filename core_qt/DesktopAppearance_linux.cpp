#include "DesktopAppearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>

#include <optional>

namespace DesktopAppearance {

namespace {

// GUI thread only.
std::optional<bool> lastSeen;

std::optional<QVariant> readPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call
        = QDBusMessage::createMethodCall(QString::fromLatin1(portalService), QString::fromLatin1(portalPath),
                                         QString::fromLatin1(settingsInterface), QStringLiteral("Read"));
    call << QString::fromLatin1(appearanceNamespace) << QString::fromLatin1(colorSchemeKey);
    const QDBusMessage reply = bus.call(call, QDBus::Block, answerTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst();
}

std::optional<QString> readGSettings()
{
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (gsettings.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(
        gsettings,
        {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme")});
    if (!process.waitForFinished(answerTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

bool portalValueIsDark(const QVariant& value)
{
    QVariant inner = value;
    // The portal wraps the value in a variant, older versions twice.
    while (inner.canConvert<QDBusVariant>() && inner.metaType() == QMetaType::fromType<QDBusVariant>())
        inner = qvariant_cast<QDBusVariant>(inner).variant();
    bool ok = false;
    const uint scheme = inner.toUInt(&ok);
    return ok && scheme == 1;
}

Source source()
{
    static const Source decided = [] {
        if (const std::optional<QVariant> value = readPortal()) {
            lastSeen = portalValueIsDark(*value);
            return Source::Portal;
        }
        if (readGSettings())
            return Source::GSettings;
        return Source::None;
    }();
    return decided;
}

bool prefersDark()
{
    bool dark = false;
    switch (source()) {
    case Source::Portal: {
        const std::optional<QVariant> value = readPortal();
        dark = value && portalValueIsDark(*value);
        break;
    }
    case Source::GSettings:
        dark = readGSettings().value_or(QString()) == QLatin1String("'prefer-dark'");
        break;
    case Source::None:
        break;
    }
    lastSeen = dark;
    return dark;
}

bool lastKnownDark()
{
    return lastSeen ? *lastSeen : prefersDark();
}

void remember(bool dark)
{
    lastSeen = dark;
}

} // namespace DesktopAppearance
