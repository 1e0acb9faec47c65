#pragma once

#include "QuorbilanApp.h"
#include "TestWorld.h"

#include <QTemporaryDir>
#include <QTest>

// main() of a test that runs the real application object in a private world.
// The application sees none of the runner's arguments, so it serves later starts.
template <typename Test>
int runGuiTest(int argc, char** argv)
{
    QTemporaryDir root;
    isolateWorld(root.path());
    int appArgc = 1;
    QuorbilanApp app(appArgc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
