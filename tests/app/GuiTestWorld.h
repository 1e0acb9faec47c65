#pragma once

#include <QDir>
#include <QString>

// A private world for a test that runs the real application object: its own
// HOME, XDG folders, per-user data folders and temp folder (which also holds
// the single-instance socket). Call before the application object exists.
inline void isolateGuiWorld(const QString& root)
{
    for (const char* folder : {"home", "config", "data", "cache", "share", "tmp", "local", "roaming"})
        QDir(root).mkpath(QLatin1String(folder));
    qputenv("HOME", QString(root + "/home").toUtf8());
    qputenv("XDG_CONFIG_HOME", QString(root + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", QString(root + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", QString(root + "/cache").toUtf8());
    qputenv("XDG_DATA_DIRS", QString(root + "/share").toUtf8());
    qputenv("TMPDIR", QString(root + "/tmp").toUtf8());
    qputenv("LOCALAPPDATA", QString(root + "/local").toUtf8());
    qputenv("APPDATA", QString(root + "/roaming").toUtf8());
    qputenv("LANG", "C.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// The settings file the program writes in that world.
inline QString settingsFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Tulverhaven Software/Quorbilan.conf");
}
