#pragma once

#include "TestWorld.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <utility>

// The command line the application object of a test sees.
enum class AppArguments {
    // The runner's: Qt takes its own options (-platform, -style...) out.
    Runner,
    // Only the program's name: an application that acts on its arguments
    // (later starts of the program, say) gets none of the runner's.
    None,
};

// main() of a Qt test in a private world (its own HOME, config, data and temp
// folders, see TestWorld.h), set up before the application object and the
// first settings use. `App` is the application class the test needs;
// `appArguments` follow argc and argv to its constructor.
template <typename Test, typename App = QApplication, typename... AppArgs>
int runIsolatedTest(int argc, char** argv, AppArguments seen = AppArguments::Runner, AppArgs&&... appArguments)
{
    QTemporaryDir world;
    if (!world.isValid()) {
        std::fprintf(stderr, "cannot make the test's private world: %s\n", qPrintable(world.errorString()));
        return 1;
    }
    isolateWorld(world.path());
    int appArgc = seen == AppArguments::Runner ? argc : 1;
    App app(appArgc, argv, std::forward<AppArgs>(appArguments)...);
    Test test;
    return QTest::qExec(&test, seen == AppArguments::Runner ? appArgc : argc, argv);
}
