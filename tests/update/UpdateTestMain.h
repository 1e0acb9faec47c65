#pragma once

#include "TestWorld.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// main() of a widget test of the update service in a private world (its own
// HOME, config and temp folders), set before the first settings use.
template <typename Test>
int runIsolatedWidgetTest(int argc, char** argv)
{
    QTemporaryDir world;
    isolateWorld(world.path());
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
