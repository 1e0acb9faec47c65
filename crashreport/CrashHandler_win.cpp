#include "CrashHandler.h"

#include "CrashHandlerWin.h"
#include "XMessageBox.h"

#include <windows.h>

#include <dbghelp.h>
#include <shlwapi.h>

#include <cwchar>

namespace {

constexpr DWORD bufferSize = 2048;

using DumpWrittenCallback = void (*)(const wchar_t*);
DumpWrittenCallback dumpWrittenCallback = nullptr;

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

} // namespace

volatile LONG dumpAttempted = 0;
volatile LONG reportingThread = 0;

std::wstring winverString()
{
    const DWORD version = GetVersion();
    wchar_t text[64];
    std::swprintf(text, 64, L"%d.%d", int(LOBYTE(LOWORD(version))), int(HIBYTE(LOWORD(version))));
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    std::wstring result = text;
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
        result += L"_x64";
        break;
    case 12:
        result += L"_arm64";
        break;
    default:
        result += L"_x86";
        break;
    }
    return result;
}

std::wstring pathFileName(const std::wstring& path)
{
    if (path.size() >= bufferSize)
        return path.substr(path.find_last_of(L"\\/:") + 1);
    wchar_t name[bufferSize];
    wcscpy(name, path.c_str());
    PathStripPathW(name);
    return name;
}

void disableSetUnhandledExceptionFilter()
{
    HMODULE module = GetModuleHandleW(L"kernelbase");
    FARPROC function = module ? GetProcAddress(module, "SetUnhandledExceptionFilter") : nullptr;
    if (!function) {
        module = GetModuleHandleW(L"kernel32");
        function = module ? GetProcAddress(module, "SetUnhandledExceptionFilter") : nullptr;
    }
    if (!function)
        return;
#if defined(_M_X64) || defined(__x86_64__)
    // xor eax, eax; ret: a 32-bit "ret 4" would leave the 64-bit stack misaligned.
    static const unsigned char patch[] = {0x33, 0xC0, 0xC3};
#else
    // mov edi, edi; xor eax, eax; ret 4
    static const unsigned char patch[] = {0x8B, 0xFF, 0x33, 0xC0, 0xC2, 0x04, 0x00};
#endif
    void* target = reinterpret_cast<void*>(function);
    DWORD oldProtection = 0;
    if (!VirtualProtect(target, sizeof patch, PAGE_EXECUTE_READWRITE, &oldProtection))
        return;
    memcpy(target, patch, sizeof patch);
    FlushInstructionCache(GetCurrentProcess(), target, sizeof patch);
    VirtualProtect(target, sizeof patch, oldProtection, &oldProtection);
}

std::wstring miniDumpPath(const SYSTEMTIME& now)
{
    wchar_t exeName[bufferSize];
    const DWORD exeLength = GetModuleFileNameW(nullptr, exeName, bufferSize);
    if (exeLength == 0 || exeLength >= bufferSize)
        return {};
    PathStripPathW(exeName);

    CrashTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    wchar_t dumpName[bufferSize];
    const std::wstring winver = winverString();
    if (!formatDumpName(dumpName, bufferSize, exeName, CrashHandler::instance().appVersion.c_str(), winver.c_str(),
                        time))
        return {};

    // A path that would not fit is refused, never cut: no dump then.
    wchar_t path[bufferSize];
    const DWORD folderLength = GetCurrentDirectoryW(bufferSize, path);
    if (folderLength == 0 || folderLength >= bufferSize - 1)
        return {};
    PathAddBackslashW(path);
    std::size_t length = wcslen(path);
    if (!appendText(path, bufferSize, length, dumpName))
        return {};
    return path;
}

bool writeMiniDump(EXCEPTION_POINTERS* exception)
{
    if (InterlockedExchange(&dumpAttempted, 1) != 0)
        return false;
    HMODULE debugHelp = LoadLibraryW(L"dbghelp.dll");
    if (!debugHelp)
        return false;
    SYSTEMTIME now{};
    GetSystemTime(&now);
    const std::wstring dumpPath = miniDumpPath(now);
    if (dumpPath.empty()) {
        FreeLibrary(debugHelp);
        return false;
    }
    const wchar_t* path = dumpPath.c_str();

    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        FreeLibrary(debugHelp);
        return false;
    }
    MINIDUMP_EXCEPTION_INFORMATION information{};
    information.ThreadId = GetCurrentThreadId();
    information.ExceptionPointers = exception;
    information.ClientPointers = FALSE;

    auto writeDump = reinterpret_cast<MiniDumpWriteDumpFunction>(
        reinterpret_cast<void*>(GetProcAddress(debugHelp, "MiniDumpWriteDump")));
    // No callback record at all: a zeroed one makes some implementations call
    // address 0.
    const bool written = writeDump
        && writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &information, nullptr, nullptr);
    CloseHandle(file);
    FreeLibrary(debugHelp);
    if (!written)
        return false;
    if (dumpWrittenCallback)
        dumpWrittenCallback(path);
    return true;
}

LONG WINAPI crashExceptionFilter(EXCEPTION_POINTERS* exception)
{
    const LONG self = LONG(GetCurrentThreadId());
    const LONG first = InterlockedCompareExchange(&reportingThread, self, 0);
    if (first != 0 && first != self) {
        // Another thread's report is on screen and ends the process when done.
        for (;;)
            Sleep(INFINITE);
    }
    if (writeMiniDump(exception))
        TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_CONTINUE_SEARCH;
}

void onDumpWritten(const wchar_t* dumpPath)
{
    CrashHandler& record = CrashHandler::instance();
    record.dumpFilePath = dumpPath ? dumpPath : L"";

    XMessageBoxParams params;
    params.options |= XMSGBOX_OPTIONS_TWO_TONE;
    params.iconId = UINT(record.iconId);
    params.useCustomCaptions = TRUE;
    lstrcpynW(params.customCaptions[XMSGBOX_CAPTION_YES], record.sendButtonText.c_str(), 260);
    lstrcpynW(params.customCaptions[XMSGBOX_CAPTION_NO], record.cancelButtonText.c_str(), 260);

    const std::wstring text = expandPlaceholders(record.message, true);
    const std::wstring title = expandPlaceholders(record.caption, false);
    const int result = XMessageBox(nullptr, text.c_str(), title.c_str(), 0x60000014, &params);
    if (result == IDYES)
        sendReportMail();
}

void startReportMail()
{
    // The routes here hand the mail over without waiting for the mail program.
    sendReportMail();
}

void CrashHandler::prepareThread()
{
    // The filter runs on the faulting thread's own stack: nothing to prepare.
}

void CrashHandler::install()
{
    dumpWrittenCallback = onDumpWritten;
    SetUnhandledExceptionFilter(crashExceptionFilter);
    disableSetUnhandledExceptionFilter();
}
