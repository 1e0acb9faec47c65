#pragma once

#include <string>

// The running Windows has exactly this major and minor version.
bool isWindowsVersion(unsigned major, unsigned minor);

// The running Windows is at least this major and minor version (service pack 0).
bool isWindowsVersionOrGreater(unsigned major, unsigned minor);

// Windows 10's version number with a build of 22000 or later.
bool isWindows11();

// "11", "10", "8.1", "8", "7", "vista" or "xp"; empty for other versions.
std::wstring windowsShortName();

// The system is a workstation edition rather than a server.
bool isWindowsWorkstation();

// "Windows 11 x64 (23H2)", "Windows 8.1 x86", "Windows Unknown x64"; built on each call.
std::wstring windowsDisplayName();

// The release such as "23H2" (or the older numeric release id), empty when unknown.
std::wstring windowsDisplayVersion();

// A string value of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion, 64-bit
// view; empty when it cannot be read.
std::wstring currentVersionValue(const wchar_t* valueName);
