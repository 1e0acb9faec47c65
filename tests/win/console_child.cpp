// Writes a few lines through the console writer and ends with the exit code
// given as its first argument, as the console tool does.
#include "ConsoleWriter.h"

#include <string>

int wmain(int argc, wchar_t** argv)
{
    ConsoleWriter::attachConsole();
    ConsoleWriter::printLine(L"first line");
    ConsoleWriter::printLine(L"lone\nbreak and\r\npair");
    ConsoleWriter::printError(L"Error: G\u00f6teborg \u65e5\u672c");
    ConsoleWriter::printLine(L"Profil \u00e9t\u00e9 \u2013 \u65e5\u672c");
    ConsoleWriter::detachConsole();
    ConsoleWriter::printLine(L"dropped: printed after detaching");
    return argc > 1 ? std::stoi(argv[1]) : 0;
}
