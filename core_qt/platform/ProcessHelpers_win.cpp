#include "ProcessHelpers.h"

#include <windows.h>

#include <psapi.h>
#include <algorithm>
#include <tlhelp32.h>

namespace ProcessHelpers {

namespace {

// Fills the path and the creation time from an open process handle.
void readProcessDetails(HANDLE process, Process& record, std::vector<wchar_t>& buffer)
{
    std::fill(buffer.begin(), buffer.end(), L'\0');
    const DWORD capacity = DWORD(buffer.size());
    if (K32GetModuleFileNameExW(process, nullptr, buffer.data(), capacity) == 0) {
        DWORD size = capacity;
        if (!QueryFullProcessImageNameW(process, 0, buffer.data(), &size))
            buffer[0] = L'\0';
    }
    if (buffer[0] != L'\0')
        record.imagePath = buffer.data();
    FILETIME created{}, exited{}, kernel{}, user{};
    if (GetProcessTimes(process, &created, &exited, &kernel, &user))
        record.creationTime = (uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

} // namespace

std::vector<Process> runningProcesses(ProcessFilter filter)
{
    enablePrivilege(L"SeDebugPrivilege", GetCurrentProcess(), true);

    std::vector<Process> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return list;

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (Process32FirstW(snapshot, &entry)) {
        std::vector<wchar_t> buffer(1024);
        do {
            // The idle process (id 0) runs no program. Windows lists it first,
            // but the first entry is not always it: a system without one
            // (Wine) starts with its oldest real process, which may be a
            // browser.
            if (entry.th32ProcessID == 0)
                continue;
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID);
            // An elevated or protected process refuses full query rights but
            // still gives its path with limited ones; it must not go missing.
            if (!process)
                process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);

            Process record;
            record.processId = entry.th32ProcessID;
            record.parentProcessId = entry.th32ParentProcessID;
            if (process)
                readProcessDetails(process, record, buffer);
            if (record.imagePath.empty())
                record.imagePath = entry.szExeFile;

            if (!filter || filter(record))
                list.push_back(record);
            if (process)
                CloseHandle(process);
        } while (Process32NextW(snapshot, &entry));
    }
    CloseHandle(snapshot);
    return list;
}

// Profiles belong to the logged-on user, whose processes share one session;
// the user's own elevated processes are in it too.
bool runsAsCurrentUser(uint32_t processId)
{
    DWORD ownSession = 0;
    DWORD processSession = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &ownSession) || !ProcessIdToSessionId(processId, &processSession))
        return true;
    return processSession == ownSession;
}

bool enablePrivilege(const wchar_t* privilegeName, ProcessHandle process, bool enable)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_ADJUST_PRIVILEGES, &token))
        return false;
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueW(nullptr, privilegeName, &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        return false;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    // Success also when the account does not hold the privilege.
    const BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
    return adjusted != FALSE;
}

ModuleHandle currentModule()
{
    return GetModuleHandleW(nullptr);
}

std::wstring moduleFileName(ModuleHandle module)
{
    // Longer than any path the system accepts: give up rather than loop.
    constexpr DWORD largestBuffer = 65536;
    for (DWORD size = MAX_PATH; size <= largestBuffer; size *= 2) {
        std::vector<wchar_t> buffer(size, L'\0');
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), buffer.data(), size);
        if (length == 0)
            return {};
        if (length < size || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return std::wstring(buffer.data(), length);
    }
    return {};
}

void setCurrentThreadDescription(const wchar_t* description)
{
    using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
    if (!kernel || !description)
        return;
    const auto setDescription = reinterpret_cast<SetThreadDescriptionFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
    if (setDescription)
        setDescription(GetCurrentThread(), description);
}

bool isWindows32Bit()
{
#ifdef _WIN64
    // A 64-bit program never runs on a 32-bit system.
    return false;
#else
    static const bool is32Bit = [] {
        BOOL underWow64 = FALSE;
        return !IsWow64Process(GetCurrentProcess(), &underWow64) || !underWow64;
    }();
    return is32Bit;
#endif
}

} // namespace ProcessHelpers
