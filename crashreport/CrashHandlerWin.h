#pragma once

// The Windows parts of the crash handler that only Windows code reaches.

#include <windows.h>

#include <string>

// 1 once the first unhandled exception has tried to write its dump; never reset.
extern volatile LONG dumpAttempted;
// The id of the thread whose exception is being reported; 0 before.
extern volatile LONG reportingThread;

// The process's top-level exception filter once the handler is installed.
LONG WINAPI crashExceptionFilter(EXCEPTION_POINTERS* exception);

// Writes the minidump of the first crash into the current folder, else into
// the user's temporary folder, and runs the report; false for every later call
// and whenever no folder took the dump.
bool writeMiniDump(EXCEPTION_POINTERS* exception);

// The dump's full path for a crash at that UTC time: the current folder, the
// executable's name, the version, the system and the time. Empty when it would
// not fit the path buffer.
std::wstring miniDumpPath(const SYSTEMTIME& time);
// The same in another folder, the name's variant (2 and on) before the extension.
std::wstring miniDumpPath(const SYSTEMTIME& time, const std::wstring& folder, int variant);

// Makes every later SetUnhandledExceptionFilter call of the process return null
// and change nothing.
void disableSetUnhandledExceptionFilter();
