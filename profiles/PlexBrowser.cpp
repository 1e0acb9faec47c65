#include "PlexBrowser.h"

#include "PathHelpers.h"
#include "ProgramLocation.h"

#include <QFileInfo>

QString PlexBrowser::name() const
{
    return QStringLiteral("Plex Media Server");
}

QStringList PlexBrowser::processNames() const
{
    return {QStringLiteral("Plex Media Server"), QStringLiteral("Plex Media Scanner"),
            QStringLiteral("PlexScriptHost")};
}

QStringList PlexBrowser::appNames() const
{
    return {QStringLiteral("Plex Media Server.exe"), QStringLiteral("Plex Media Server")};
}

QString PlexBrowser::familyName() const
{
    return QStringLiteral("Plex");
}

bool PlexBrowser::isProfileFolder(const QString& folder) const
{
    return fileExistsIn(folder, QStringLiteral("com.plexapp.plugins.library.db"))
        || fileExistsIn(folder, QStringLiteral("com.plexapp.plugins.library.blobs.db"));
}

void PlexBrowser::loadProfiles()
{
    const QString base = joinPath(localAppDataDir(), QStringLiteral("Plex Media Server"));
    if (base.isEmpty())
        return;
    const QString folder = base + QStringLiteral("/Plug-in Support/Databases");
    if (QFileInfo(folder).isDir() && isProfileFolder(folder))
        addProfile(QStringLiteral("Default"), folder);
}
