#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ProcessHelpers {

// Handles of the system's own kind (HMODULE, HANDLE on Windows).
using ModuleHandle = void*;
using ProcessHandle = void*;

// One running process as the list reports it.
class Process
{
public:
    Process() = default;
    Process(const Process&) = default;
    Process& operator=(const Process&) = default;
    virtual ~Process() = default;

    uint32_t processId = 0;
    uint32_t parentProcessId = 0;
    // The full path of the executable; its bare file name when no path can be read.
    std::wstring imagePath;
    // 100-ns units since 1601-01-01 UTC (the scale of Windows' FILETIME); zero
    // when it cannot be read.
    uint64_t creationTime = 0;
};

using ProcessFilter = std::function<bool(const Process&)>;

// The running processes in the system's order; an empty filter keeps them all.
// The idle process (id 0) is never among them.
std::vector<Process> runningProcesses(ProcessFilter filter = {});

// True when the process belongs to the user this program runs for: the same
// real user id on Linux, the same logon session on Windows. A process whose
// owner cannot be told counts as the user's own.
bool runsAsCurrentUser(uint32_t processId);

// Switches a privilege of the process's access token on or off; true when the
// token was adjusted.
bool enablePrivilege(const wchar_t* privilegeName, ProcessHandle process, bool enable);

// The module of the program's own executable.
ModuleHandle currentModule();

// The module's full file name (null: the executable's); empty on failure.
std::wstring moduleFileName(ModuleHandle module);

// Names the calling thread where the system can name a thread alone.
void setCurrentThreadDescription(const wchar_t* description);

// True when the operating system is a 32-bit one.
bool isWindows32Bit();

} // namespace ProcessHelpers
