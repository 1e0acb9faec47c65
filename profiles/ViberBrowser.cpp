#include "ViberBrowser.h"

#include "PathHelpers.h"
#include "ProgramLocation.h"

#include <QDir>
#include <QFileInfo>

QString ViberBrowser::name() const
{
    return QStringLiteral("Viber");
}

QStringList ViberBrowser::processNames() const
{
    return {QStringLiteral("Viber")};
}

QStringList ViberBrowser::appNames() const
{
    return {QStringLiteral("Viber.exe"), QStringLiteral("Viber")};
}

QString ViberBrowser::familyName() const
{
    return name();
}

bool ViberBrowser::isProfileFolder(const QString& folder) const
{
    return fileExistsIn(folder, QStringLiteral("viber.db")) || fileExistsIn(folder, QStringLiteral("data.db"));
}

void ViberBrowser::loadProfiles()
{
    const QString folder = joinPath(appDataDir(), QStringLiteral("ViberPC"));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    const QStringList accounts = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& account : accounts) {
        // "data" holds the program's own files, not an account.
        if (account.compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
            continue;
        const QString path = folder + QLatin1Char('/') + account;
        if (isProfileFolder(path))
            addProfile(account, path);
    }
}
