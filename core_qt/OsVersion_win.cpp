#include "OsVersion.h"

#include "WindowsVersion.h"

#include <QSysInfo>

QString osVersionName()
{
    static const QString name = [] {
        const std::wstring shortName = windowsShortName();
        if (!shortName.empty())
            return QString::fromStdWString(shortName);
        return isWindowsWorkstation() ? QSysInfo::productVersion() : QStringLiteral("server");
    }();
    return name;
}

QString osDescription()
{
    static const std::wstring description = windowsDisplayName();
    return QString::fromStdWString(description);
}
