#include "WinTest.h"

#include "ProgramLocationIndex.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

using namespace ProgramLocationIndex;

namespace {

std::wstring forward(std::wstring path)
{
    for (wchar_t& c : path) {
        if (c == L'\\')
            c = L'/';
    }
    return path;
}

bool makeFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool makeFolders(const std::wstring& path)
{
    return SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS
        || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool makeShortcut(const std::wstring& shortcut, const std::wstring& target)
{
    bool saved = false;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->SetPath(target.c_str()))
            && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            saved = SUCCEEDED(file->Save(shortcut.c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    return saved;
}

// App Paths keys this test made, removed again at exit.
struct AppPathsKeys
{
    ~AppPathsKeys()
    {
        for (const auto& key : made)
            RegDeleteKeyExW(key.hive, key.path.c_str(), key.view, 0);
    }
    bool set(HKEY hive, REGSAM view, const std::wstring& name, const std::wstring* value)
    {
        const std::wstring path = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + name;
        HKEY key = nullptr;
        if (RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr)
            != ERROR_SUCCESS)
            return false;
        made.push_back({hive, path, view});
        LONG status = ERROR_SUCCESS;
        if (value)
            status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                                    DWORD((value->size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }

    struct Made
    {
        HKEY hive;
        std::wstring path;
        REGSAM view;
    };
    std::vector<Made> made;
};

// One world for the whole group: the Start Menu index is built once per process.
struct World
{
    World()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        base = std::wstring(temp) + L"quorbilan-location-" + std::to_wstring(GetCurrentProcessId());
        apps = base + L"\\Program Files\\apps";
        const std::wstring userMenu = base + L"\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
        const std::wstring allMenu = base + L"\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
        ok = makeFolders(apps) && makeFolders(userMenu + L"\\Mozilla") && makeFolders(userMenu + L"\\Sub\\Deeper")
            && makeFolders(allMenu);
        for (const wchar_t* file : {L"user.exe", L"machine.exe", L"x86.exe", L"firefox-user.exe", L"firefox-all.exe",
                                    L"deep.exe", L"gone.exe"})
            ok = ok && makeFile(apps + L"\\" + file);
        ok = ok && makeShortcut(userMenu + L"\\Mozilla\\Firefox.lnk", apps + L"\\firefox-user.exe")
            && makeShortcut(allMenu + L"\\Firefox.lnk", apps + L"\\firefox-all.exe")
            && makeShortcut(allMenu + L"\\Machine Only.lnk", apps + L"\\machine.exe")
            && makeShortcut(userMenu + L"\\Sub\\Deeper\\Deep Tool.lnk", apps + L"\\deep.exe")
            && makeShortcut(userMenu + L"\\Gone.lnk", apps + L"\\gone.exe")
            && makeShortcut(userMenu + L"\\Tool.backup.lnk", apps + L"\\deep.exe")
            && makeFile(userMenu + L"\\readme.txt") && DeleteFileW((apps + L"\\gone.exe").c_str());
        // Hidden shortcuts and everything in a hidden folder are not listed.
        ok = ok && makeFolders(userMenu + L"\\Secret")
            && makeShortcut(userMenu + L"\\Secret\\Secret Tool.lnk", apps + L"\\deep.exe")
            && makeShortcut(userMenu + L"\\Hidden Tool.lnk", apps + L"\\deep.exe")
            && SetFileAttributesW((userMenu + L"\\Secret").c_str(), FILE_ATTRIBUTE_HIDDEN)
            && SetFileAttributesW((userMenu + L"\\Hidden Tool.lnk").c_str(), FILE_ATTRIBUTE_HIDDEN);
        goneShortcut = forward(userMenu + L"\\Gone.lnk");
        SetEnvironmentVariableW(L"APPDATA", (base + L"\\Roaming").c_str());
        SetEnvironmentVariableW(L"ProgramData", (base + L"\\ProgramData").c_str());

        const std::wstring user = L"\"" + apps + L"\\user.exe\"";
        const std::wstring machine = L"  " + apps + L"\\machine.exe ";
        const std::wstring x86 = apps + L"\\x86.exe";
        const std::wstring missing = apps + L"\\uninstalled.exe";
        const std::wstring empty;
        ok = ok && keys.set(HKEY_CURRENT_USER, 0, L"qbtest-both.exe", &user)
            && keys.set(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"qbtest-both.exe", &machine)
            && keys.set(HKEY_CURRENT_USER, 0, L"qbtest-stale.exe", &missing)
            && keys.set(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"qbtest-stale.exe", &machine)
            && keys.set(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"qbtest-view.exe", &empty)
            && keys.set(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"qbtest-view.exe", &x86)
            && keys.set(HKEY_CURRENT_USER, 0, L"qbtest-novalue.exe", nullptr)
            && keys.set(HKEY_CURRENT_USER, 0, L"Machine Only", &missing);
    }
    ~World()
    {
        for (const wchar_t* file :
             {L"user.exe", L"machine.exe", L"x86.exe", L"firefox-user.exe", L"firefox-all.exe", L"deep.exe"})
            DeleteFileW((apps + L"\\" + file).c_str());
        // Only this test's own tree.
        std::wstring tree = base + L'\0';
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = tree.c_str();
        op.fFlags = FOF_NO_UI;
        SHFileOperationW(&op);
        CoUninitialize();
    }

    std::wstring base;
    std::wstring apps;
    std::wstring goneShortcut;
    AppPathsKeys keys;
    bool ok = false;
};

World& world()
{
    static World instance;
    return instance;
}

std::wstring app(const wchar_t* file)
{
    return forward(world().apps + L"\\" + file);
}

} // namespace

WIN_TEST(programlocation, appPathsUserBeforeMachine)
{
    CHECK(world().ok);
    std::wstring path;
    CHECK(findInAppPaths(L"qbtest-both.exe", path));
    CHECK_EQ(path, app(L"user.exe"));
    CHECK(findInAppPaths(L"QBTEST-BOTH.EXE", path));
    CHECK_EQ(path, app(L"user.exe"));
}

WIN_TEST(programlocation, appPathsSkipMissingAndEmptyEntries)
{
    CHECK(world().ok);
    std::wstring path;
    // The user's entry points to a removed installation: the machine's counts.
    CHECK(findInAppPaths(L"qbtest-stale.exe", path));
    CHECK_EQ(path, app(L"machine.exe"));
    // An empty 64-bit entry: the 32-bit view's.
    CHECK(findInAppPaths(L"qbtest-view.exe", path));
    CHECK_EQ(path, app(L"x86.exe"));

    path = L"unchanged";
    CHECK(!findInAppPaths(L"qbtest-novalue.exe", path));
    CHECK(!findInAppPaths(L"qbtest-unknown.exe", path));
    CHECK(!findInAppPaths(L"", path));
    CHECK_EQ(path, std::wstring(L"unchanged"));
}

WIN_TEST(programlocation, startMenuUserBeforeAllUsers)
{
    CHECK(world().ok);
    std::wstring path;
    CHECK(findInStartMenu(L"Firefox", path));
    CHECK_EQ(path, app(L"firefox-user.exe"));
    CHECK(findInStartMenu(L"FIREFOX", path));
    CHECK_EQ(path, app(L"firefox-user.exe"));
    CHECK(findInStartMenu(L"deep tool", path));
    CHECK_EQ(path, app(L"deep.exe"));
    CHECK(findInStartMenu(L"Tool.Backup", path));
    CHECK_EQ(path, app(L"deep.exe"));
}

WIN_TEST(programlocation, startMenuFallsBackToTheShortcut)
{
    CHECK(world().ok);
    std::wstring path;
    CHECK(findInStartMenu(L"Gone", path));
    CHECK_EQ(path, world().goneShortcut);

    // An App Paths entry to a missing file gives way to the Start Menu.
    CHECK(!findInAppPaths(L"Machine Only", path));
    CHECK(findInStartMenu(L"Machine Only", path));
    CHECK_EQ(path, app(L"machine.exe"));

    path = L"unchanged";
    CHECK(!findInStartMenu(L"readme", path));
    CHECK(!findInStartMenu(L"Nothing Here", path));
    CHECK(!findInStartMenu(L"Hidden Tool", path));
    CHECK(!findInStartMenu(L"Secret Tool", path));
    CHECK_EQ(path, std::wstring(L"unchanged"));
    CHECK_EQ(shortcutIndex().size(), std::size_t(5));
}
