#pragma once

#include <QCoreApplication>
#include <QTest>

#include <initializer_list>

// The program reads some files beside its executable (languages/). A test
// that writes them there would share them with every other copy of itself
// running at the same time, so it runs again from a private copy: call first
// thing in main(). In the private copy this returns -1 (go on with the test);
// in the first process it copies the executable and `companions` (programs
// the test starts from its own folder) to a fresh folder, runs the copy with
// the same arguments and returns its exit code (128 + signal when it was
// killed) once the folder is removed again.
int rerunFromPrivateCopy(char** argv, std::initializer_list<const char*> companions = {});

// main() of a Qt test without windows that runs from a private copy.
template <typename Test>
int runGuilessTestFromPrivateCopy(int argc, char** argv, std::initializer_list<const char*> companions = {})
{
    const int copyResult = rerunFromPrivateCopy(argv, companions);
    if (copyResult >= 0)
        return copyResult;
    QCoreApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}
