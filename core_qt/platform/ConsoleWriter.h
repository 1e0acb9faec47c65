#pragma once

// Console output of the command-line mode on Windows. The program is a GUI
// executable, so it borrows its parent's console and writes each stream the
// way its target wants it: UTF-16 to a real console, the console's code page
// to a pipe, UTF-8 to a file. Lines always end in CRLF.

#include <string>

namespace win32 {

void attachConsole();
void detachConsole();
void printLine(const std::wstring &text);
void printError(const std::wstring &text);

// Line-break normalisation shared by both streams: every "\r\n" and every lone
// "\n" becomes "\r\n".
std::wstring toCrLf(const std::wstring &text);

} // namespace win32
