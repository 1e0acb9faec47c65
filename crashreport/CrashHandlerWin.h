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

// Writes the minidump of the first crash into the current folder and runs the
// report; false for every later call and whenever no dump could be written.
bool writeMiniDump(EXCEPTION_POINTERS* exception);

// The dump's full path for a crash at that UTC time: the current folder, the
// executable's name, the version, the system and the time. Empty when it would
// not fit the path buffer.
std::wstring miniDumpPath(const SYSTEMTIME& time);

// Makes every later SetUnhandledExceptionFilter call of the process return null
// and change nothing.
void disableSetUnhandledExceptionFilter();
