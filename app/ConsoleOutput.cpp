#include "ConsoleOutput.h"

#include "ConsoleWriter.h"

void attachConsole()
{
    ConsoleWriter::attachConsole();
}

void detachConsole()
{
    ConsoleWriter::detachConsole();
}

void printLine(const QString &text)
{
    ConsoleWriter::printLine(text.toStdWString());
}

void printError(const QString &text)
{
    ConsoleWriter::printError(text.toStdWString());
}
