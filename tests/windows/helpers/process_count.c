// process_count NAME: prints how many processes of the prefix run an exe
// named NAME (any case).
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        fputs("usage: process_count NAME\n", stderr);
        return 2;
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 1;
    unsigned count = 0;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, argv[1]) == 0)
            ++count;
    }
    CloseHandle(snapshot);
    printf("%u\n", count);
    return 0;
}
