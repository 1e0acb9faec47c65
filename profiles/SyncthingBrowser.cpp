#include "SyncthingBrowser.h"

#include "PathHelpers.h"
#include "ProgramLocation.h"

#include <QDir>
#include <QFileInfo>

QString SyncthingBrowser::name() const
{
    return QStringLiteral("Syncthing");
}

QStringList SyncthingBrowser::processNames() const
{
    return {QStringLiteral("syncthing")};
}

QStringList SyncthingBrowser::appNames() const
{
    return {QStringLiteral("syncthing.exe"), QStringLiteral("Syncthing")};
}

QString SyncthingBrowser::familyName() const
{
    return name();
}

bool SyncthingBrowser::isProfileFolder(const QString& folder) const
{
    if (!fileExistsIn(folder, QStringLiteral("main.db")))
        return false;
    QDir dir(folder, QStringLiteral("folder.*.db"), QDir::NoSort, QDir::Files);
    if (!dir.entryList().isEmpty())
        return true;
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash > 0 && fileExistsIn(folder.left(slash), QStringLiteral("config.xml"));
}

void SyncthingBrowser::loadProfiles()
{
    const QString base = joinPath(localAppDataDir(), QStringLiteral("Syncthing"));
    if (base.isEmpty())
        return;
    const QString folder = base + QStringLiteral("/index-v2");
    if (QFileInfo(folder).isDir() && isProfileFolder(folder))
        addProfile(QStringLiteral("Default"), folder);
}
