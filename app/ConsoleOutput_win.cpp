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

// The console writer takes one line at a time.
void printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        printLine(line);
}

void printError(const QString &text)
{
    win32::printError(text.toStdWString());
}

// The Windows platform plugin starts without a display of its own.
void prepareConsolePlatform()
{
}
