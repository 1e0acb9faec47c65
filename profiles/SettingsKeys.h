#pragma once

#include <QString>

// The names of the program's own settings, for the profile list that reads and
// writes them and for the application that registers them.
inline const QString SettingSelectedProfiles = QStringLiteral("SelectedProfiles");
inline const QString SettingCustomProfiles = QStringLiteral("CustomProfiles");
inline const QString SettingLastBrowsedDir = QStringLiteral("LastBrowsedDir");
