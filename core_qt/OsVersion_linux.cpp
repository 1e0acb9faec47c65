#include "OsVersion.h"

#include <QFile>
#include <QStringList>
#include <QSysInfo>

namespace {

QString readOsRelease()
{
    for (const char *path : {"/etc/os-release", "/usr/lib/os-release"}) {
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

QString osReleaseValue(const QString &osRelease, const QString &key)
{
    const QStringList lines = osRelease.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (!trimmed.startsWith(key + QLatin1Char('=')))
            continue;
        QString value = trimmed.mid(key.size() + 1);
        if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
            && value.back() == value.front()) {
            const bool doubleQuoted = value.front() == QLatin1Char('"');
            value = value.mid(1, value.size() - 2);
            if (doubleQuoted) {
                // Inside double quotes a backslash escapes the next character.
                QString unescaped;
                for (int i = 0; i < value.size(); ++i) {
                    if (value[i] == QLatin1Char('\\') && i + 1 < value.size())
                        ++i;
                    unescaped += value[i];
                }
                value = unescaped;
            }
        }
        return value;
    }
    return {};
}

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
