#include "WindowsDarkModeWatcher.h"

#include "BusDaemonCalls.h"
#include "DesktopAppearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace System {

// Receives the portal's SettingChanged signal; QtDBus needs a slot for it.
class PortalSettingsReceiver : public QObject
{
    Q_OBJECT

public:
    explicit PortalSettingsReceiver(WindowsDarkModeWatcher* owner)
        : owner(owner)
    {
    }

    bool connectToPortal()
    {
        lastDarkMode = DesktopAppearance::lastKnownDark();
        if (!follow(true))
            return false;
        // A change announced before the bus has the rule would be lost.
        confirmSubscriptions(QDBusConnection::sessionBus());
        return true;
    }
    void disconnectFromPortal() { follow(false); }

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
    {
        if (group != QLatin1String(DesktopAppearance::appearanceNamespace)
            || key != QLatin1String(DesktopAppearance::colorSchemeKey))
            return;
        const bool dark = DesktopAppearance::portalValueIsDark(value.variant());
        DesktopAppearance::remember(dark);
        if (dark == lastDarkMode)
            return;
        lastDarkMode = dark;
        emit owner->darkModeChanged();
    }

private:
    bool follow(bool on)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString service = QString::fromLatin1(DesktopAppearance::portalService);
        const QString path = QString::fromLatin1(DesktopAppearance::portalPath);
        const QString interface = QString::fromLatin1(DesktopAppearance::settingsInterface);
        const QString name = QStringLiteral("SettingChanged");
        const char* slot = SLOT(settingChanged(QString, QString, QDBusVariant));
        return on ? bus.connect(service, path, interface, name, this, slot)
                  : bus.disconnect(service, path, interface, name, this, slot);
    }

    WindowsDarkModeWatcher* owner;
    bool lastDarkMode = false;
};

struct WindowsDarkModeWatcher::Source
{
    std::unique_ptr<PortalSettingsReceiver> receiver;
};

WindowsDarkModeWatcher::WindowsDarkModeWatcher()
    : source(std::make_unique<Source>())
{
}

WindowsDarkModeWatcher::~WindowsDarkModeWatcher()
{
    stop();
}

// Only the portal tells about changes; with GSettings alone the look is the
// one at start.
void WindowsDarkModeWatcher::start()
{
    if (source->receiver || DesktopAppearance::source() != DesktopAppearance::Source::Portal)
        return;
    auto receiver = std::make_unique<PortalSettingsReceiver>(this);
    if (receiver->connectToPortal())
        source->receiver = std::move(receiver);
}

// On the thread that started it, so no delivery is under way meanwhile.
void WindowsDarkModeWatcher::stop()
{
    if (!source->receiver)
        return;
    source->receiver->disconnectFromPortal();
    source->receiver.reset();
}

bool WindowsDarkModeWatcher::isRunning() const
{
    return source->receiver != nullptr;
}

} // namespace System

#include "WindowsDarkModeWatcher_linux.moc"
