#include "DarkModePlatform.h"

#include "DarkModeApi.h"
#include "DarkModeRegistryWatcher.h"

#include <QStyleFactory>
#include <QWidget>

// The same reading as the watcher's, so both agree on what changed.
bool systemUsesDarkMode()
{
    return registryUsesDarkMode();
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
