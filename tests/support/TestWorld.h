#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>

// A private world for a test, or for a process it starts: its own HOME, XDG
// folders, Windows-style per-user data folders (where a ProgramFixture on the
// same root puts the programs), temp folder and runtime folder (which holds
// the single-instance socket), all below `root`. Settings, menu entries,
// icons and the session's runtime folder of the machine stay out of the test.
inline QList<QPair<QString, QString>> worldVariables(const QString& root)
{
    const QList<QPair<QString, QString>> variables = {
        {"HOME", root + "/home"},
        {"XDG_CONFIG_HOME", root + "/config"},
        {"XDG_DATA_HOME", root + "/data"},
        {"XDG_CACHE_HOME", root + "/cache"},
        {"XDG_DATA_DIRS", root + "/share"},
        {"TMPDIR", root + "/tmp"},
        {"XDG_RUNTIME_DIR", root + "/runtime"},
        {"LOCALAPPDATA", root + "/Local"},
        {"APPDATA", root + "/Roaming"},
        {"LANG", "C.UTF-8"},
        // The update check of every window goes to a local port where nothing
        // listens, never to the maker's server; update tests replace it.
        {"QUORBILAN_UPDATE_URL", "https://127.0.0.1:9/update/quorbilan.xml.gz"},
    };
    for (const auto& variable : variables) {
        if (variable.second.startsWith(root))
            QDir().mkpath(variable.second);
    }
    // A runtime folder is the user's alone.
    QFile::setPermissions(root + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return variables;
}

// For this process; call before the first QSettings or QDir::tempPath use
// (and so before the application object exists).
inline void isolateWorld(const QString& root)
{
    for (const auto& variable : worldVariables(root))
        qputenv(variable.first.toUtf8().constData(), variable.second.toUtf8());
    qunsetenv("LC_ALL");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// For a child process: this one's environment moved into the world below root.
inline QProcessEnvironment worldEnvironment(const QString& root)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& variable : worldVariables(root))
        env.insert(variable.first, variable.second);
    return env;
}

// The settings file the program writes in the world below root.
inline QString settingsFileIn(const QString& root)
{
    return root + QStringLiteral("/config/Tulverhaven Software/Quorbilan.conf");
}

// The single-instance socket of the program's runs in the world below root.
inline QString singleInstanceSocketIn(const QString& root)
{
    return root + QStringLiteral("/runtime/quorbilan_single_instance");
}
