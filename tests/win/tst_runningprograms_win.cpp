#include "WinTest.h"

#include "ProcessHelpers.h"

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

// A copy of the child executable under another name, removed with the object.
struct ChildCopy
{
    explicit ChildCopy(const std::wstring& fileName)
    {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        path = std::wstring(temp) + L"qb-" + std::to_wstring(GetCurrentProcessId()) + L"-" + fileName;
        copied = CopyFileW((WinTest::exeFolder() + L"wintests_child.exe").c_str(), path.c_str(), FALSE);
    }
    ~ChildCopy() { DeleteFileW(path.c_str()); }

    std::wstring path;
    BOOL copied = FALSE;
};

// That copy started; the process ends before its file is removed.
struct NamedChild
{
    explicit NamedChild(const std::wstring& fileName)
        : file(fileName)
        , process(file.copied ? file.path : std::wstring())
    {
    }

    ChildCopy file;
    WinTest::ChildProcess process;
};

int countNamed(const std::wstring& name)
{
    int count = 0;
    for (const ProcessHelpers::Process& process : ProcessHelpers::runningProcesses({})) {
        if (WinTest::sameNoCase(baseName(process.imagePath), name))
            ++count;
    }
    return count;
}

} // namespace

WIN_TEST(runningprograms, childFoundByItsFileName)
{
    NamedChild firefox(L"firefox.exe");
    NamedChild similar(L"firefox-bin.exe");
    CHECK(firefox.process.started && similar.process.started);
    const std::wstring prefix = L"qb-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    CHECK_EQ(countNamed(prefix + L"FIREFOX"), 1);
    CHECK_EQ(countNamed(prefix + L"firefox-bin"), 1);
    CHECK_EQ(countNamed(prefix + L"firefox-"), 0);

    const DWORD id = firefox.process.info.dwProcessId;
    const auto found
        = ProcessHelpers::runningProcesses([id](const ProcessHelpers::Process& p) { return p.processId == id; });
    CHECK_EQ(found.size(), std::size_t(1));
    CHECK_MSG(WinTest::sameNoCase(found.front().imagePath, firefox.file.path), WinTest::show(found.front().imagePath));
}

// The user's own processes, the program itself and a child it started, share
// its logon session; an id that names no process cannot be told apart and counts.
WIN_TEST(runningprograms, ownProcessesRunAsTheCurrentUser)
{
    NamedChild child(L"session-child.exe");
    CHECK(child.process.started);
    CHECK(ProcessHelpers::runsAsCurrentUser(GetCurrentProcessId()));
    CHECK(ProcessHelpers::runsAsCurrentUser(child.process.info.dwProcessId));
    CHECK(ProcessHelpers::runsAsCurrentUser(0xFFFFFFF0u));
}
