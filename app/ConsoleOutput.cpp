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

void printLine(const QString& text)
{
    ConsoleWriter::printLine(text.toStdWString());
}

void printLines(const QStringList& lines)
{
    std::vector<std::wstring> wide;
    wide.reserve(size_t(lines.size()));
    for (const QString& line : lines)
        wide.push_back(line.toStdWString());
    ConsoleWriter::printLines(wide);
}

void printError(const QString& text)
{
    ConsoleWriter::printError(text.toStdWString());
}
