#pragma once

// The Windows parts of the crash handler that only Windows code reaches.

#include <windows.h>

// 1 once the first unhandled exception has tried to write its dump; never reset.
extern volatile LONG dumpAttempted;

// The process's top-level exception filter once the handler is installed.
LONG WINAPI crashExceptionFilter(EXCEPTION_POINTERS* exception);

// Writes the minidump of the first crash into the current folder and runs the
// report; false for every later call and whenever no dump could be written.
bool writeMiniDump(EXCEPTION_POINTERS* exception);

// Makes every later SetUnhandledExceptionFilter call of the process return null
// and change nothing.
void disableSetUnhandledExceptionFilter();
