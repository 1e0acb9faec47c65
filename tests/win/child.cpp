// The tests' child process. Without arguments it waits to be ended (at most a
// minute, so an aborted test leaves nothing behind); with "osnames" it prints
// what the version queries report for it and ends.
#include "WindowsVersion.h"

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && std::wstring(argv[1]) == L"osnames") {
        const std::wstring line = windowsShortName() + L"|" + windowsDisplayName();
        std::fputws(line.c_str(), stdout);
        return 0;
    }
    Sleep(60000);
    return 0;
}
