#include "DarkModePlatform.h"

#include "DesktopAppearance.h"

#include <QStyleFactory>

bool systemUsesDarkMode()
{
    return DesktopAppearance::prefersDark();
}

namespace DarkModePlatform {

bool supported()
{
    return DesktopAppearance::source() != DesktopAppearance::Source::None;
}

// The desktop themes its own decorations; nothing to tell it.
void allowDarkModeForApp(bool /*dark*/) { }

// Title bars belong to the window manager: nothing to colour here.
void applyTitleBar(QWidget* /*window*/) { }

// Qt here has no native Windows style: light mode goes back to the style
// that was active before the first switch.
QStyle* createLightStyle(const QString& savedStyle)
{
    return QStyleFactory::create(savedStyle);
}

} // namespace DarkModePlatform
