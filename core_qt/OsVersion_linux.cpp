#include "OsVersion.h"

#include <QFile>
#include <QSysInfo>

namespace {

QString readOsRelease()
{
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly))
            return QString::fromUtf8(file.readAll());
    }
    return {};
}

// The architecture in the words the Windows side uses.
QString architectureName()
{
    const QString cpu = QSysInfo::currentCpuArchitecture();
    if (cpu == QLatin1String("x86_64"))
        return QStringLiteral("x64");
    if (cpu == QLatin1String("i386"))
        return QStringLiteral("x86");
    return cpu;
}

} // namespace

QString osVersionName()
{
    static const QString name = [] {
        const QString version = osReleaseValue(readOsRelease(), QStringLiteral("VERSION_ID"));
        return version.isEmpty() ? QSysInfo::productVersion() : version;
    }();
    return name;
}

QString osDescription()
{
    static const QString description = [] {
        QString name = osReleaseValue(readOsRelease(), QStringLiteral("PRETTY_NAME"));
        if (name.isEmpty())
            name = QStringLiteral("Linux");
        return name + QLatin1Char(' ') + architectureName();
    }();
    return description;
}
