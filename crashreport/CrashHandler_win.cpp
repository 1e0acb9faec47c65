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

// The current folder; empty when it does not fit the path buffer.
std::wstring currentFolder()
{
    wchar_t folder[bufferSize];
    const DWORD length = GetCurrentDirectoryW(bufferSize, folder);
    return length == 0 || length >= bufferSize ? std::wstring() : std::wstring(folder, length);
}

// The user's temporary folder (TMP, TEMP, the profile or the Windows folder).
std::wstring tempFolder()
{
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(folder, length);
}

// A new file of the dump's name in folder, its path in path. The name is
// predictable, so whatever already has it is never opened, let alone
// replaced, and no link is followed: the next variant is tried instead.
HANDLE createDumpFile(const std::wstring& folder, const SYSTEMTIME& time, std::wstring& path)
{
    for (int variant = 1; variant <= dumpNameVariants; ++variant) {
        path = miniDumpPath(time, folder, variant);
        if (path.empty())
            return INVALID_HANDLE_VALUE;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

// The dump's path once written whole into a new file in folder; empty, with
// nothing left behind, when the folder cannot take it.
std::wstring writeDumpInto(const std::wstring& folder, const SYSTEMTIME& time, MiniDumpWriteDumpFunction writeDump,
                           MINIDUMP_EXCEPTION_INFORMATION& information)
{
    std::wstring path;
    HANDLE file = createDumpFile(folder, time, path);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    // No callback record at all: a zeroed one makes some implementations call
    // address 0.
    const bool written
        = writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &information, nullptr, nullptr);
    CloseHandle(file);
    if (!written) {
        // A cut dump would only mislead, and the box would offer it.
        DeleteFileW(path.c_str());
        return {};
    }
    return path;
}

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

bool isInCurrentFolder(const std::wstring& path)
{
    std::wstring folder = currentFolder();
    if (folder.empty())
        return false;
    if (folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    const std::wstring::size_type separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator + 1 != folder.size())
        return false;
    return CompareStringOrdinal(path.c_str(), int(folder.size()), folder.c_str(), int(folder.size()), TRUE)
        == CSTR_EQUAL;
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
    return miniDumpPath(now, currentFolder(), 1);
}

std::wstring miniDumpPath(const SYSTEMTIME& now, const std::wstring& folder, int variant)
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
                        time, variant))
        return {};

    // A path that would not fit is refused, never cut: not in this folder then.
    wchar_t path[bufferSize];
    if (folder.empty() || folder.size() >= bufferSize - 1)
        return {};
    wcscpy(path, folder.c_str());
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
    auto writeDump = reinterpret_cast<MiniDumpWriteDumpFunction>(
        reinterpret_cast<void*>(GetProcAddress(debugHelp, "MiniDumpWriteDump")));
    if (!writeDump) {
        FreeLibrary(debugHelp);
        return false;
    }
    SYSTEMTIME now{};
    GetSystemTime(&now);
    MINIDUMP_EXCEPTION_INFORMATION information{};
    information.ThreadId = GetCurrentThreadId();
    information.ExceptionPointers = exception;
    information.ClientPointers = FALSE;

    // The current folder first; a program started from a folder the user
    // cannot write, such as its own under Program Files, still has its report.
    std::wstring path;
    for (const std::wstring& folder : {currentFolder(), tempFolder()}) {
        path = writeDumpInto(folder, now, writeDump, information);
        if (!path.empty())
            break;
    }
    FreeLibrary(debugHelp);
    if (path.empty())
        return false;
    if (dumpWrittenCallback)
        dumpWrittenCallback(path.c_str());
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

    const std::wstring text = reportBoxMessage();
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
