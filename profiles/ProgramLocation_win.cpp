// Windows means for the program look-ups: the App Paths registry keys and the
// Start Menu shortcuts through the Win32 layer, the shell's icons through the
// icon provider.
#include "ProgramLocation.h"

#include "ProgramLocationIndex.h"

#include <QAbstractFileIconProvider>
#include <QFileInfo>

// App Paths are a handful of registry reads per name: nothing to gather.
struct ProgramLookupScope::Index
{
};

ProgramLookupScope::ProgramLookupScope() = default;
ProgramLookupScope::~ProgramLookupScope() = default;

QString findInAppPaths(const QString& appName)
{
    std::wstring path;
    if (!ProgramLocationIndex::findInAppPaths(appName.toStdWString(), path))
        return QString();
    return QString::fromStdWString(path);
}

const QHash<QString, QString>& buildShortcutIndex()
{
    static const QHash<QString, QString> index = [] {
        QHash<QString, QString> result;
        for (const auto& [name, path] : ProgramLocationIndex::shortcutIndex())
            result.insert(QString::fromStdWString(name), QString::fromStdWString(path));
        return result;
    }();
    return index;
}

QString findInStartMenu(const QString& appName)
{
    std::wstring path;
    if (!ProgramLocationIndex::findInStartMenu(appName.toStdWString(), path))
        return QString();
    return QString::fromStdWString(path);
}

QIcon iconForPath(const QString& path)
{
    if (path.isEmpty())
        return QIcon();
    // The widgets' QFileIconProvider would give the same here: on Windows both
    // return the shell's icon engine, which is never null even when the shell
    // has nothing to draw, so its own style fallback is never reached.
    static QAbstractFileIconProvider provider;
    const QIcon icon = provider.icon(QFileInfo(path));
    if (icon.pixmap(QSize(16, 16)).isNull() && !genericFileIcon().isNull())
        return genericFileIcon();
    return icon;
}
