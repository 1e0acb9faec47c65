#pragma once

#include <QString>
#include <QVariant>

// The desktop's light/dark preference on Linux: the desktop portal's
// "org.freedesktop.appearance" "color-scheme" (1 = prefer dark), else
// GSettings' "org.gnome.desktop.interface" "color-scheme", read in process. A
// portal that does not answer within a fraction of a second counts as absent,
// so start-up never waits on it for longer.
namespace DesktopAppearance {

enum class Source { None, Portal, GSettings };

inline constexpr char portalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char portalPath[] = "/org/freedesktop/portal/desktop";
inline constexpr char settingsInterface[] = "org.freedesktop.portal.Settings";
inline constexpr char appearanceNamespace[] = "org.freedesktop.appearance";
inline constexpr char colorSchemeKey[] = "color-scheme";
// How long the portal may take to answer: long enough for a running service
// on a busy machine, short enough not to be noticed at start-up.
inline constexpr int answerTimeoutMs = 250;

// Decided once per process, at the first use.
Source source();
// Read afresh from the source; false without one.
bool prefersDark();
// The preference as last read or announced, read when it never was: what a
// watcher starting later compares changes with, without asking again.
bool lastKnownDark();
void remember(bool dark);
// The portal's value (nested variants allowed) means dark.
bool portalValueIsDark(const QVariant& value);

} // namespace DesktopAppearance
