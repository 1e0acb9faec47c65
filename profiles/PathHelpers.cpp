#include "PathHelpers.h"

#include <QDir>
#include <QFileInfo>

QString normalizePath(const QString& path)
{
    // Profile folders come from Windows files written with backslashes, so the
    // separator is converted on every platform, not only where it is native.
    QString result = QDir::fromNativeSeparators(path);
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

bool fileExistsIn(const QString& dir, const QString& name)
{
    if (dir.isEmpty())
        return false;
    return QFileInfo::exists(dir + QLatin1Char('/') + name);
}
