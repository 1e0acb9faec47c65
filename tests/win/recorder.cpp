// A stand-in mail program: writes its whole command line (UTF-16) to
// "<its own path>.txt" and ends. Copied as outlook.exe or mailer.exe by the tests.
#include <windows.h>

#include <string>

int wmain()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    const std::wstring record = std::wstring(path) + L".txt";
    const wchar_t* line = GetCommandLineW();
    HANDLE file = CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, line, DWORD(lstrlenW(line) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return 0;
}
