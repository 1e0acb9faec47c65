#pragma once

// Whole lines to standard output and standard error for the command-line
// mode, between attachConsole() and detachConsole(); lines printed outside
// are dropped.
// Windows: the program is a GUI executable, so it borrows its parent's
// console and writes each stream the way its target wants it: UTF-16 to a
// real console, the console's code page to a pipe, UTF-8 to a file. Lines
// always end in CRLF.
// Linux: a terminal, a pipe and a file all take UTF-8 with LF. A reader that
// goes away early (`quorbilan /list | head -1`) must neither kill the process
// nor change its exit code, so SIGPIPE is ignored and EPIPE dropped.

#include <string>
#include <vector>

namespace ConsoleWriter {

void attachConsole();
void detachConsole();
void printLine(const std::wstring& text);
// The same as printLine for each, in as few writes as the stream allows.
void printLines(const std::vector<std::wstring>& lines);
void printError(const std::wstring& text);

// Line-break normalisation of the Windows streams: every "\r\n" and every lone
// "\n" becomes "\r\n".
std::wstring toCrLf(const std::wstring& text);

} // namespace ConsoleWriter
