// Installs the crash handler and crashes. "crash <answer>" with answer "send",
// "cancel" or "none" (nobody answers); "twice <answer>" crashes a second
// thread while the box is open. A helper thread answers the report box and
// writes what it saw to box.txt and the box's whole message to message.txt in
// the current folder; filter.txt says what SetUnhandledExceptionFilter
// returned after the handler was installed, patch.txt the bytes that function
// begins with then, thread.txt the id of the thread that crashes first and
// second.txt that of the second one once it is about to crash. These records
// go into the folder CRASHTEST_RECORDS names instead when it is set, for runs
// whose current folder takes no file.
#include "CrashHandler.h"

#include <windows.h>

#include <string>

namespace {

std::wstring answer;
bool twice = false;

void writeFile(const wchar_t* name, const std::wstring& text)
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"CRASHTEST_RECORDS", folder, MAX_PATH);
    const std::wstring path = length > 0 && length < MAX_PATH ? std::wstring(folder) + L"\\" + name : name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.c_str(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

std::wstring itemText(HWND box, int id)
{
    wchar_t text[4096] = {};
    if (!GetDlgItem(box, id))
        return L"(none)";
    GetDlgItemTextW(box, id, text, 4096);
    return text;
}

int* volatile nowhere = nullptr;

DWORD WINAPI crashToo(void*)
{
    writeFile(L"second.txt", std::to_wstring(GetCurrentThreadId()));
    *nowhere = 2;
    return 0;
}

// The bytes SetUnhandledExceptionFilter begins with, looked up as the handler does.
std::wstring filterEntryBytes()
{
    HMODULE module = GetModuleHandleW(L"kernelbase");
    FARPROC function = module ? GetProcAddress(module, "SetUnhandledExceptionFilter") : nullptr;
    if (!function) {
        module = GetModuleHandleW(L"kernel32");
        function = module ? GetProcAddress(module, "SetUnhandledExceptionFilter") : nullptr;
    }
    if (!function)
        return L"(not found)";
    const auto* bytes = reinterpret_cast<const unsigned char*>(function);
    std::wstring text;
    for (int i = 0; i < 3; ++i) {
        wchar_t hex[4];
        wsprintfW(hex, L"%02X", bytes[i]);
        text += (i ? L" " : L"") + std::wstring(hex);
    }
    return text;
}

DWORD WINAPI answerBox(void*)
{
    HWND box = nullptr;
    // Visible only once its initialisation is done.
    while (!(box = FindWindowW(L"#32770", L"CrashTest - Unhandled Exception")) || !IsWindowVisible(box))
        Sleep(50);
    const UINT close = GetMenuState(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND);
    const LRESULT defaultId = SendMessageW(box, DM_GETDEFID, 0, 0);
    writeFile(L"box.txt",
              itemText(box, IDYES) + L"|" + itemText(box, IDNO) + L"|" + itemText(box, IDOK) + L"|"
                  + itemText(box, 1000) + L"|" + (close & MF_GRAYED ? L"close greyed" : L"close enabled") + L"|"
                  + std::to_wstring(LOWORD(defaultId)));
    writeFile(L"message.txt", itemText(box, 1001));
    if (twice) {
        // Default handling of this second crash would end the process under
        // the box at once; the handler holds the thread instead.
        HANDLE second = CreateThread(nullptr, 0, crashToo, nullptr, 0, nullptr);
        const DWORD waited = WaitForSingleObject(second, 3000);
        CloseHandle(second);
        if (waited != WAIT_TIMEOUT)
            ExitProcess(98);
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer == L"send" ? IDYES : IDNO, BN_CLICKED), 0);
    return 0;
}

LONG WINAPI otherFilter(EXCEPTION_POINTERS*)
{
    ExitProcess(99);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3 || (std::wstring(argv[1]) != L"crash" && std::wstring(argv[1]) != L"twice"))
        return 2;
    twice = std::wstring(argv[1]) == L"twice";
    answer = argv[2];
    CrashHandler::setAppName(L"CrashTest");
    CrashHandler::setAppVersion(L"1.2.3.4");
    CrashHandler::setSupportEmail(L"reports@example.org");
    CrashHandler::install();

    // Another module taking the filter over is a no-op now.
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(otherFilter);
    writeFile(L"filter.txt", previous ? L"returned a filter" : L"returned null");
    writeFile(L"patch.txt", filterEntryBytes());
    writeFile(L"thread.txt", std::to_wstring(GetCurrentThreadId()));

    if (answer != L"none")
        CloseHandle(CreateThread(nullptr, 0, answerBox, nullptr, 0, nullptr));
    *nowhere = 1;
    return 0;
}
