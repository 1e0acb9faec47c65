#include "WindowsDarkModeWatcher.h"

#include "DesktopAppearance.h"

#include <QDBusConnection>
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
        lastDarkMode = DesktopAppearance::prefersDark();
        return bus().connect(QString::fromLatin1(DesktopAppearance::portalService),
                             QString::fromLatin1(DesktopAppearance::portalPath),
                             QString::fromLatin1(DesktopAppearance::settingsInterface), QStringLiteral("SettingChanged"),
                             this, SLOT(settingChanged(QString, QString, QDBusVariant)));
    }

    void disconnectFromPortal()
    {
        bus().disconnect(QString::fromLatin1(DesktopAppearance::portalService),
                         QString::fromLatin1(DesktopAppearance::portalPath),
                         QString::fromLatin1(DesktopAppearance::settingsInterface), QStringLiteral("SettingChanged"),
                         this, SLOT(settingChanged(QString, QString, QDBusVariant)));
    }

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value)
    {
        if (group != QLatin1String(DesktopAppearance::appearanceNamespace)
            || key != QLatin1String(DesktopAppearance::colorSchemeKey))
            return;
        const bool dark = DesktopAppearance::portalValueIsDark(value.variant());
        if (dark == lastDarkMode)
            return;
        lastDarkMode = dark;
        emit owner->darkModeChanged();
    }

private:
    static QDBusConnection bus() { return QDBusConnection::sessionBus(); }

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
