#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// One program of the Firefox family.
struct FirefoxBrowserInfo
{
    QString name;
    QString dataPath; // below the roaming application-data folder, with "/"
    QStringList processNames;
    QStringList appNames;
};

// The ten programs, in the order they are shown everywhere.
std::vector<FirefoxBrowserInfo> firefoxBrowserTable();
