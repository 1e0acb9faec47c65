#include "WinTest.h"

#include "ProcessHelpers.h"
#include "StringHelpers.h"

#include <string>

namespace {

// The file name without folder and last extension, as the running check compares it.
std::wstring baseName(const std::wstring& path)
{
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::wstring::size_type dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

bool sameNoCase(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && findNoCase(a, b, 0) == 0;
}

// A copy of the child executable under another name, started and ended with the object.
struct NamedChild
{
    explicit NamedChild(const std::wstring& fileName)
    {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        path = std::wstring(temp) + L"qb-" + std::to_wstring(GetCurrentProcessId()) + L"-" + fileName;
        if (!CopyFileW((WinTest::exeFolder() + L"wintests_child.exe").c_str(), path.c_str(), FALSE))
            return;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + path + L"\"";
        started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &info);
    }
    ~NamedChild()
    {
        if (started) {
            TerminateProcess(info.hProcess, 0);
            WaitForSingleObject(info.hProcess, 10000);
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
        DeleteFileW(path.c_str());
    }

    std::wstring path;
    BOOL started = FALSE;
    PROCESS_INFORMATION info{};
};

int countNamed(const std::wstring& name)
{
    int count = 0;
    for (const ProcessHelpers::Process& process : ProcessHelpers::runningProcesses({})) {
        if (sameNoCase(baseName(process.imagePath), name))
            ++count;
    }
    return count;
}

} // namespace

WIN_TEST(runningprograms, childFoundByItsFileName)
{
    NamedChild firefox(L"firefox.exe");
    NamedChild similar(L"firefox-bin.exe");
    CHECK(firefox.started && similar.started);
    const std::wstring prefix = L"qb-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    CHECK_EQ(countNamed(prefix + L"FIREFOX"), 1);
    CHECK_EQ(countNamed(prefix + L"firefox-bin"), 1);
    CHECK_EQ(countNamed(prefix + L"firefox-"), 0);

    const DWORD id = firefox.info.dwProcessId;
    const auto found
        = ProcessHelpers::runningProcesses([id](const ProcessHelpers::Process& p) { return p.processId == id; });
    CHECK_EQ(found.size(), std::size_t(1));
    CHECK_MSG(sameNoCase(found.front().imagePath, firefox.path), WinTest::show(found.front().imagePath));
}

// The user's own processes, the program itself and a child it started, share
// its logon session; an id that names no process cannot be told apart and counts.
WIN_TEST(runningprograms, ownProcessesRunAsTheCurrentUser)
{
    NamedChild child(L"session-child.exe");
    CHECK(child.started);
    CHECK(ProcessHelpers::runsAsCurrentUser(GetCurrentProcessId()));
    CHECK(ProcessHelpers::runsAsCurrentUser(child.info.dwProcessId));
    CHECK(ProcessHelpers::runsAsCurrentUser(0xFFFFFFF0u));
}
