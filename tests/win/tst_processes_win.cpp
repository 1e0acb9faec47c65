#include "WinTest.h"

#include "FileVersionInfo.h"
#include "ProcessHelpers.h"

#include <tlhelp32.h>

#include <thread>

using ProcessHelpers::Process;

namespace {

std::wstring withoutLongPathPrefix(const std::wstring& path)
{
    return path.rfind(L"\\\\?\\", 0) == 0 ? path.substr(4) : path;
}

} // namespace

WIN_TEST(processes, childListedWithPathAndParent)
{
    const std::wstring childPath = WinTest::exeFolder() + L"wintests_child.exe";
    FILETIME before{};
    GetSystemTimeAsFileTime(&before);
    WinTest::ChildProcess child(childPath);
    CHECK(child.started);

    const DWORD childId = child.info.dwProcessId;
    const std::vector<Process> found
        = ProcessHelpers::runningProcesses([childId](const Process& p) { return p.processId == childId; });
    CHECK_EQ(found.size(), std::size_t(1));
    const Process& p = found.front();
    CHECK_MSG(WinTest::sameNoCase(p.imagePath, childPath), WinTest::show(p.imagePath));
    CHECK_EQ(p.parentProcessId, uint32_t(GetCurrentProcessId()));
    const uint64_t created = p.creationTime;
    const uint64_t start = (uint64_t(before.dwHighDateTime) << 32) | before.dwLowDateTime;
    const uint64_t tenSeconds = 10ULL * 10000000ULL;
    CHECK_MSG(created + tenSeconds > start && created < start + tenSeconds,
              "created " + std::to_string(created) + ", test start " + std::to_string(start));
}

WIN_TEST(processes, filterAndIdleProcess)
{
    int calls = 0;
    const std::vector<Process> none = ProcessHelpers::runningProcesses([&calls](const Process&) {
        ++calls;
        return false;
    });
    CHECK(none.empty());
    CHECK(calls > 0);

    const std::vector<Process> all = ProcessHelpers::runningProcesses({});
    const DWORD selfId = GetCurrentProcessId();
    bool selfFound = false;
    for (const Process& p : all) {
        if (p.processId == selfId) {
            selfFound = true;
            CHECK_MSG(WinTest::sameNoCase(p.imagePath, ProcessHelpers::moduleFileName(nullptr)),
                      WinTest::show(p.imagePath));
        }
    }
    CHECK(selfFound);

    // The idle process (id 0) is never listed; a snapshot that begins with a
    // real process (Wine's has no idle one) has that process listed too.
    // Taken after the list: the oldest process of this later snapshot also ran
    // when the list was made.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    CHECK(snapshot != INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    const BOOL first = Process32FirstW(snapshot, &entry);
    CloseHandle(snapshot);
    CHECK(first);
    bool firstListed = false;
    for (const Process& p : all) {
        CHECK_MSG(p.processId != 0, WinTest::show(p.imagePath));
        firstListed = firstListed || p.processId == entry.th32ProcessID;
    }
    CHECK_MSG(firstListed == (entry.th32ProcessID != 0), WinTest::show(entry.szExeFile));
}

WIN_TEST(processes, moduleNameBeyondMaxPath)
{
    const std::wstring own = ProcessHelpers::moduleFileName(ProcessHelpers::currentModule());
    CHECK(WinTest::sameNoCase(own, ProcessHelpers::moduleFileName(nullptr)));
    CHECK(own.size() > 12 && WinTest::sameNoCase(own.substr(own.size() - 12), L"wintests.exe"));

    // A folder deep enough that the module's path passes MAX_PATH.
    wchar_t temp[MAX_PATH + 1] = {};
    CHECK(GetTempPathW(MAX_PATH + 1, temp) > 0);
    std::wstring folder = std::wstring(L"\\\\?\\") + temp + L"quorbilan-deep-" + std::to_wstring(GetCurrentProcessId());
    std::vector<std::wstring> created;
    CHECK(CreateDirectoryW(folder.c_str(), nullptr));
    created.push_back(folder);
    while (folder.size() < 320) {
        folder += L"\\" + std::wstring(60, L'd');
        CHECK(CreateDirectoryW(folder.c_str(), nullptr));
        created.push_back(folder);
    }
    const std::wstring copy = folder + L"\\wintests_module.dll";
    CHECK(CopyFileW((WinTest::exeFolder() + L"wintests_module.dll").c_str(), copy.c_str(), TRUE));
    // The long form is added by fileExists itself.
    CHECK(fileExists(withoutLongPathPrefix(copy).c_str()));

    HMODULE module = LoadLibraryW(copy.c_str());
    std::wstring name;
    if (module) {
        name = ProcessHelpers::moduleFileName(module);
        FreeLibrary(module);
    }
    DeleteFileW(copy.c_str());
    for (auto it = created.rbegin(); it != created.rend(); ++it)
        RemoveDirectoryW(it->c_str());

    CHECK(module);
    CHECK_MSG(name.size() > MAX_PATH, WinTest::show(name));
    CHECK_MSG(WinTest::sameNoCase(withoutLongPathPrefix(name), withoutLongPathPrefix(copy)), WinTest::show(name));
}

WIN_TEST(processes, threadDescription)
{
    using GetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto getDescription = reinterpret_cast<GetThreadDescriptionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Kernel32.dll"), "GetThreadDescription")));
    std::wstring seen;
    std::thread worker([&] {
        ProcessHelpers::setCurrentThreadDescription(L"mainThread");
        ProcessHelpers::setCurrentThreadDescription(nullptr); // ignored
        PWSTR description = nullptr;
        if (getDescription && SUCCEEDED(getDescription(GetCurrentThread(), &description)) && description) {
            seen = description;
            LocalFree(description);
        }
    });
    worker.join();
    if (getDescription)
        CHECK_EQ(seen, std::wstring(L"mainThread"));
}

WIN_TEST(processes, privilegesAndBitness)
{
    CHECK(ProcessHelpers::enablePrivilege(L"SeDebugPrivilege", GetCurrentProcess(), true));
    CHECK(ProcessHelpers::enablePrivilege(L"SeDebugPrivilege", GetCurrentProcess(), false));
    CHECK(!ProcessHelpers::enablePrivilege(L"SeNoSuchPrivilege", GetCurrentProcess(), true));
    // A 64-bit build: never a 32-bit system.
    CHECK(!ProcessHelpers::isWindows32Bit());
}
