#include "DarkModePlatform.h"

#include "DarkModeApi.h"

#include <QSettings>
#include <QStyleFactory>
#include <QWidget>

bool systemUsesDarkMode()
{
    QSettings personalize(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"),
        QSettings::NativeFormat);
    return personalize.value(QStringLiteral("AppsUseLightTheme")) == 0;
}

namespace DarkModePlatform {

bool supported()
{
    return DarkModeApi::instance().supported;
}

void allowDarkModeForApp(bool dark)
{
    DarkModeApi::instance().allowDarkModeForApp(dark);
}

void applyTitleBar(QWidget* window)
{
    // winId() makes the native window when there is none yet.
    DarkModeApi::instance().setWindowDarkColors(reinterpret_cast<void*>(window->winId()), systemUsesDarkMode());
}

QStyle* createLightStyle(const QString& /*savedStyle*/)
{
    return QStyleFactory::create(QStringLiteral("WindowsVista"));
}

} // namespace DarkModePlatform
