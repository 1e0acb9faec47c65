#pragma once

#include <QDir>
#include <QProcessEnvironment>
#include <QString>

// Points the process's per-user folders and its temp folder at a private tree
// below root. Call before the first QSettings or QDir::tempPath use.
inline void isolateWorld(const QString& root)
{
    const QStringList folders = {"home", "config", "appdata", "localappdata", "tmp"};
    for (const QString& folder : folders)
        QDir(root).mkpath(folder);
    qputenv("HOME", QString(root + "/home").toUtf8());
    qputenv("XDG_CONFIG_HOME", QString(root + "/config").toUtf8());
    qputenv("APPDATA", QString(root + "/appdata").toUtf8());
    qputenv("LOCALAPPDATA", QString(root + "/localappdata").toUtf8());
    qputenv("TMPDIR", QString(root + "/tmp").toUtf8());
    qputenv("LANG", "C.UTF-8");
    qunsetenv("LC_ALL");
}
