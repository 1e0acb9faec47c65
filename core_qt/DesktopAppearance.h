#pragma once

#include <QString>
#include <QVariant>

// The desktop's light/dark preference on Linux: the desktop portal's
// "org.freedesktop.appearance" "color-scheme" (1 = prefer dark), else
// GSettings' "org.gnome.desktop.interface" "color-scheme", read in process. A
// portal that does not answer in time counts as absent: a fraction of a second
// when none is running (the bus may try to start one), a few seconds when one
// is, so a busy machine's portal is not taken for none.
namespace DesktopAppearance {

enum class Source { None, Portal, GSettings };

inline constexpr char portalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char portalPath[] = "/org/freedesktop/portal/desktop";
inline constexpr char settingsInterface[] = "org.freedesktop.portal.Settings";
inline constexpr char appearanceNamespace[] = "org.freedesktop.appearance";
inline constexpr char colorSchemeKey[] = "color-scheme";
// How long the portal may take to answer when none is running at start, and
// at each later read: short enough not to be noticed.
inline constexpr int answerTimeoutMs = 250;
// How long a running portal may take to answer at start.
inline constexpr int runningAnswerTimeoutMs = 3000;

// Decided once per process, at the first use.
Source source();
// Read afresh from the source; false without one. A portal that does not
// answer now leaves the value as last read or announced.
bool prefersDark();
// The preference as last read or announced, read when it never was: what a
// watcher starting later compares changes with, without asking again.
bool lastKnownDark();
void remember(bool dark);
// The portal's value (nested variants allowed) means dark.
bool portalValueIsDark(const QVariant& value);

} // namespace DesktopAppearance
