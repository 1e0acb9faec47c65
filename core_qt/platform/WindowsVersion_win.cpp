#include "WindowsVersion.h"

#include "ProcessHelpers.h"
#include "Registry.h"

#include <windows.h>

#include <cstdlib>

namespace {

template <typename Function>
Function systemFunction(const wchar_t* module, const char* name)
{
    HMODULE handle = GetModuleHandleW(module);
    return handle ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

struct WindowsName
{
    unsigned major;
    unsigned minor;
    const wchar_t* shortName;
    const wchar_t* displayName;
};

const WindowsName* knownWindows();

// Major and minor compared with `condition`; any service pack.
bool compareWindowsVersion(unsigned major, unsigned minor, BYTE condition)
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, condition);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, condition);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

} // namespace

bool isWindowsVersion(unsigned major, unsigned minor)
{
    return compareWindowsVersion(major, minor, VER_EQUAL);
}

bool isWindowsVersionOrGreater(unsigned major, unsigned minor)
{
    return compareWindowsVersion(major, minor, VER_GREATER_EQUAL);
}

bool isWindows11()
{
    // RtlGetVersion tells the real build, whatever the manifest says.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = systemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    if (!rtlGetVersion)
        return false;
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion(&info) != 0 || info.dwMajorVersion != 10)
        return false;
    return info.dwBuildNumber > 21999;
}

std::wstring windowsShortName()
{
    const WindowsName* known = knownWindows();
    return known ? known->shortName : std::wstring();
}

namespace {

// The versions are tested for equality, so at most one of them matches.
const WindowsName* knownWindows()
{
    static constexpr WindowsName windows11{10, 0, L"11", L"Windows 11"};
    static constexpr WindowsName versions[] = {
        {10, 0, L"10", L"Windows 10"}, {6, 3, L"8.1", L"Windows 8.1"},     {6, 2, L"8", L"Windows 8"},
        {6, 1, L"7", L"Windows 7"},    {6, 0, L"vista", L"Windows Vista"}, {5, 1, L"xp", L"Windows XP"},
    };
    if (isWindows11())
        return &windows11;
    for (const WindowsName& version : versions) {
        if (isWindowsVersion(version.major, version.minor))
            return &version;
    }
    return nullptr;
}

} // namespace

bool isWindowsWorkstation()
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.wProductType = VER_NT_WORKSTATION;
    const DWORDLONG mask = VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL);
    return VerifyVersionInfoW(&info, VER_PRODUCT_TYPE, mask) != FALSE;
}

std::wstring windowsDisplayName()
{
    const WindowsName* known = knownWindows();
    std::wstring name = known ? known->displayName : L"Windows Unknown";

    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto isWow64Process2 = systemFunction<IsWow64Process2Function>(L"Kernel32.dll", "IsWow64Process2");
    const wchar_t* architecture = nullptr;
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine)) {
        switch (nativeMachine) {
        case 0x014C:
            architecture = L"x86";
            break;
        case 0x8664:
            architecture = L"x64";
            break;
        case 0xAA64:
            architecture = L"arm64";
            break;
        default:
            break;
        }
    }
    if (!architecture)
        architecture = ProcessHelpers::isWindows32Bit() ? L"x86" : L"x64";
    name += L' ';
    name += architecture;

    // Only Windows 10 and 11 have named releases.
    if (known && known->major == 10) {
        const std::wstring release = windowsDisplayVersion();
        if (!release.empty())
            name += L" (" + release + L")";
    }
    return name;
}

std::wstring windowsDisplayVersion()
{
    const std::wstring display = currentVersionValue(L"DisplayVersion");
    if (!display.empty())
        return display;
    const std::wstring releaseId = currentVersionValue(L"ReleaseId");
    if (releaseId.empty())
        return {};
    return std::to_wstring(_wtol(releaseId.c_str()));
}

std::wstring currentVersionValue(const wchar_t* valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key)
        != ERROR_SUCCESS)
        return {};
    std::wstring value;
    regQueryString(key, valueName, value);
    RegCloseKey(key);
    return value;
}
