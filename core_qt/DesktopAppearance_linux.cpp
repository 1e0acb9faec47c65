#include "DesktopAppearance.h"

#include "BusDaemonCalls.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <optional>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace DesktopAppearance {

namespace {

// GUI thread only.
std::optional<bool> lastSeen;

std::optional<QVariant> readPortal(int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call
        = QDBusMessage::createMethodCall(QString::fromLatin1(portalService), QString::fromLatin1(portalPath),
                                         QString::fromLatin1(settingsInterface), QStringLiteral("Read"));
    call << QString::fromLatin1(appearanceNamespace) << QString::fromLatin1(colorSchemeKey);
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst();
}

const char interfaceSchema[] = "org.gnome.desktop.interface";

// Read in process: no helper to start and nothing to wait for. Asking for a
// key the schema lacks aborts the process, so both are looked up first.
std::optional<QString> readGSettings()
{
    GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
    if (!schemas)
        return std::nullopt;
    GSettingsSchema* schema = g_settings_schema_source_lookup(schemas, interfaceSchema, TRUE);
    if (!schema)
        return std::nullopt;
    std::optional<QString> value;
    if (g_settings_schema_has_key(schema, colorSchemeKey)) {
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        gchar* text = g_settings_get_string(settings, colorSchemeKey);
        value = QString::fromUtf8(text);
        g_free(text);
        g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return value;
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
        const bool running = nameHasOwner(QDBusConnection::sessionBus(), QString::fromLatin1(portalService));
        if (const std::optional<QVariant> value = readPortal(running ? runningAnswerTimeoutMs : answerTimeoutMs)) {
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
        // A portal that answered at start and gives no answer now (slow,
        // stuck or gone) tells nothing new: keep what it said last, which
        // after a change it announced is that change.
        const std::optional<QVariant> value = readPortal(answerTimeoutMs);
        dark = value ? portalValueIsDark(*value) : lastSeen.value_or(false);
        break;
    }
    case Source::GSettings:
        dark = readGSettings().value_or(QString()) == QLatin1String("prefer-dark");
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
