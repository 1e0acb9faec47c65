#pragma once

#include "QuorbilanApp.h"

#include <QDir>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// A private world for a test that runs the real application object, or for
// the real program it starts: its own HOME, XDG folders, per-user data
// folders and temp folder (which also holds the single-instance socket).
inline QList<QPair<QString, QString>> guiWorldVariables(const QString& root)
{
    const QList<QPair<QString, QString>> variables = {
        {"HOME", root + "/home"},
        {"XDG_CONFIG_HOME", root + "/config"},
        {"XDG_DATA_HOME", root + "/data"},
        {"XDG_CACHE_HOME", root + "/cache"},
        {"XDG_DATA_DIRS", root + "/share"},
        {"TMPDIR", root + "/tmp"},
        {"LOCALAPPDATA", root + "/local"},
        {"APPDATA", root + "/roaming"},
        {"LANG", "C.UTF-8"},
        // The update check of every window goes to a local port where nothing
        // listens, never to the maker's server; update tests replace it.
        {"QUORBILAN_UPDATE_URL", "https://127.0.0.1:9/update/quorbilan.xml.gz"},
    };
    for (const auto& variable : variables) {
        if (variable.second.startsWith(root))
            QDir().mkpath(variable.second);
    }
    return variables;
}

// For this process; call before the application object exists.
inline void isolateGuiWorld(const QString& root)
{
    for (const auto& variable : guiWorldVariables(root))
        qputenv(variable.first.toUtf8().constData(), variable.second.toUtf8());
    qunsetenv("LC_ALL");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// For a child process: this one's environment moved into the world below root.
inline QProcessEnvironment guiWorldEnvironment(const QString& root)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& variable : guiWorldVariables(root))
        env.insert(variable.first, variable.second);
    return env;
}

// The settings file the program writes in the world below root.
inline QString settingsFileIn(const QString& root)
{
    return root + QStringLiteral("/config/Tulverhaven Software/Quorbilan.conf");
}

// main() of a test that runs the real application object in a private world.
// The application sees none of the runner's arguments, so it serves later starts.
template <typename Test>
int runGuiTest(int argc, char** argv)
{
    QTemporaryDir root;
    isolateGuiWorld(root.path());
    int appArgc = 1;
    QuorbilanApp app(appArgc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
