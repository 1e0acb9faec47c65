#include "WinTest.h"

#include "WindowsVersion.h"

#include <string>

namespace {

OSVERSIONINFOEXW realVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion)
        rtlGetVersion(&info);
    return info;
}

// Runs the child with "osnames" while Wine reports `version` to it alone.
std::string childOsNames(const wchar_t* version)
{
    const std::wstring keyPath = L"Software\\Wine\\AppDefaults\\wintests_child.exe";
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return "(no key)";
    RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   DWORD((wcslen(version) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    std::string output;
    if (CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        const std::wstring path = WinTest::exeFolder() + L"wintests_child.exe";
        std::wstring commandLine = L"\"" + path + L"\" osnames";
        PROCESS_INFORMATION info{};
        const BOOL started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            nullptr, &startup, &info);
        CloseHandle(writeEnd);
        if (started) {
            char buffer[512];
            DWORD read = 0;
            while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0)
                output.append(buffer, read);
            WaitForSingleObject(info.hProcess, 10000);
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
        CloseHandle(readEnd);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
    return output;
}

} // namespace

WIN_TEST(windowsversion, agreesWithRealVersion)
{
    const OSVERSIONINFOEXW real = realVersion();
    CHECK(real.dwMajorVersion > 0);
    CHECK(isWindowsVersion(real.dwMajorVersion, real.dwMinorVersion));
    CHECK(!isWindowsVersion(real.dwMajorVersion, real.dwMinorVersion + 1));
    CHECK(!isWindowsVersion(real.dwMajorVersion + 1, real.dwMinorVersion));
    CHECK(isWindowsVersionOrGreater(real.dwMajorVersion, real.dwMinorVersion));
    CHECK(isWindowsVersionOrGreater(real.dwMajorVersion - 1, real.dwMinorVersion + 1));
    CHECK(!isWindowsVersionOrGreater(real.dwMajorVersion, real.dwMinorVersion + 1));
    CHECK(!isWindowsVersionOrGreater(real.dwMajorVersion + 1, 0));
    CHECK_EQ(isWindows11(), real.dwMajorVersion == 10 && real.dwBuildNumber >= 22000);
}

WIN_TEST(windowsversion, namesOfThisSystem)
{
    const std::wstring shortName = windowsShortName();
    const std::wstring display = windowsDisplayName();
    CHECK_MSG(!shortName.empty(), WinTest::show(display));
    CHECK_MSG(display.rfind(L"Windows "
                                + std::wstring(shortName == L"vista"    ? L"Vista"
                                                   : shortName == L"xp" ? L"XP"
                                                                        : shortName)
                                + L" x64",
                            0)
                  == 0,
              WinTest::show(display));
    const std::wstring release = windowsDisplayVersion();
    const bool hasRelease = display.find(L'(') != std::wstring::npos;
    if (shortName == L"10" || shortName == L"11")
        CHECK_EQ(hasRelease, !release.empty());
    else
        CHECK(!hasRelease);
    if (!release.empty())
        CHECK(display.size() > release.size() + 1
              && display.compare(display.size() - release.size() - 1, release.size(), release) == 0);
    CHECK(isWindowsWorkstation());
}

WIN_TEST(windowsversion, versionKeyValues)
{
    CHECK(!currentVersionValue(L"ProductName").empty());
    CHECK(!currentVersionValue(L"CurrentBuildNumber").empty());
    CHECK(currentVersionValue(L"QuorbilanNoSuchValue").empty());
}

WIN_TEST(windowsversion, otherWindowsVersions)
{
    // Wine reports another version to the child alone; only 10 and 11 carry a release.
    CHECK_EQ(childOsNames(L"win81"), std::string("8.1|Windows 8.1 x64"));
    CHECK_EQ(childOsNames(L"win7"), std::string("7|Windows 7 x64"));
    CHECK_EQ(childOsNames(L"winxp"), std::string("xp|Windows XP x64"));
}
