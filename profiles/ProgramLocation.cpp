#include "ProgramLocation.h"

#include <QDir>

namespace {

QIcon& genericFileIconSlot()
{
    static QIcon icon;
    return icon;
}

QString environmentFolder(const char* name)
{
    return QDir::fromNativeSeparators(qEnvironmentVariable(name));
}

} // namespace

QString findProgramPath(const QStringList& appNames)
{
    for (const QString& appName : appNames) {
        QString path = findInAppPaths(appName);
        if (path.isEmpty())
            path = findInStartMenu(appName);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

void setGenericFileIcon(const QIcon& icon)
{
    genericFileIconSlot() = icon;
}

QIcon genericFileIcon()
{
    return genericFileIconSlot();
}

QString localAppDataDir()
{
    return environmentFolder("LOCALAPPDATA");
}

QString appDataDir()
{
    return environmentFolder("APPDATA");
}

QString joinPath(const QString& base, const QString& relative)
{
    if (base.isEmpty() || relative.isEmpty())
        return QString();
    QString result = base;
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    result += relative;
    while (result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}
