#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// One program of the Chromium family.
struct ChromiumBrowserInfo
{
    QString name;
    QString dataPath; // the user-data folder below the base folder, with "/"
    QStringList processNames;
    QStringList appNames;
    bool roaming = false; // base folder is APPDATA, not LOCALAPPDATA
    bool singleProfileLayout = false; // the user-data folder is the main profile
};

// The seventeen programs, in the order they are shown everywhere.
std::vector<ChromiumBrowserInfo> chromiumBrowserTable();
