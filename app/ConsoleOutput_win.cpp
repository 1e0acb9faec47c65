#include "ConsoleOutput.h"

#include "ConsoleWriter.h"

void attachConsole()
{
    win32::attachConsole();
}

void detachConsole()
{
    win32::detachConsole();
}

void printLine(const QString &text)
{
    win32::printLine(text.toStdWString());
}

void printError(const QString &text)
{
    win32::printError(text.toStdWString());
}

// The Windows platform plugin starts without a display of its own.
void prepareConsolePlatform()
{
}
