#pragma once

#include <QString>

class QStyle;
class QWidget;

// The user's light/dark app setting: dark when it says so.
bool systemUsesDarkMode();

// What the platform can do for dark mode.
namespace DarkModePlatform {

// Whether dark mode exists here; without it every switch does nothing.
bool supported();
// Tells the platform's own theming the process's mode.
void allowDarkModeForApp(bool dark);
// Gives the window's title bar the colours of the current system setting.
void applyTitleBar(QWidget* window);
// The style of light mode; `savedStyle` is the name of the style that was
// active before the first switch.
QStyle* createLightStyle(const QString& savedStyle);

} // namespace DarkModePlatform
