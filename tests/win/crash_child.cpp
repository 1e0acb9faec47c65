// Installs the crash handler and crashes. "crash <answer>" with answer "send",
// "cancel" or "none" (nobody answers). A helper thread answers the report box
// and writes what it saw to box.txt in the current folder; filter.txt says
// what SetUnhandledExceptionFilter returned after the handler was installed.
#include "CrashHandler.h"

#include <windows.h>

#include <string>

namespace {

std::wstring answer;

void writeFile(const wchar_t* name, const std::wstring& text)
{
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.c_str(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

std::wstring itemText(HWND box, int id)
{
    wchar_t text[512] = {};
    if (!GetDlgItem(box, id))
        return L"(none)";
    GetDlgItemTextW(box, id, text, 512);
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
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer == L"send" ? IDYES : IDNO, BN_CLICKED), 0);
    return 0;
}

LONG WINAPI otherFilter(EXCEPTION_POINTERS*)
{
    ExitProcess(99);
}

int* volatile nowhere = nullptr;

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3 || std::wstring(argv[1]) != L"crash")
        return 2;
    answer = argv[2];
    CrashHandler::setAppName(L"CrashTest");
    CrashHandler::setAppVersion(L"1.2.3.4");
    CrashHandler::setSupportEmail(L"reports@example.org");
    CrashHandler::install();

    // Another module taking the filter over is a no-op now.
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(otherFilter);
    writeFile(L"filter.txt", previous ? L"returned a filter" : L"returned null");

    if (answer != L"none")
        CloseHandle(CreateThread(nullptr, 0, answerBox, nullptr, 0, nullptr));
    *nowhere = 1;
    return 0;
}
