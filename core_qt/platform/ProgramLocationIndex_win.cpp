#include "ProgramLocationIndex.h"

#include "LowerCaseTable.h"
#include "StringHelpers.h"
#include "Registry.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

namespace ProgramLocationIndex {

namespace {

struct AppPathsRoot
{
    HKEY hive;
    const wchar_t* path;
};

const std::vector<AppPathsRoot>& appPathsRoots()
{
    static const std::vector<AppPathsRoot> roots = {
        {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
        {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
    };
    return roots;
}

const std::vector<REGSAM>& registryViews()
{
    static const std::vector<REGSAM> views = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    return views;
}

std::wstring withForwardSlashes(std::wstring path)
{
    for (wchar_t& c : path) {
        if (c == L'\\')
            c = L'/';
    }
    return path;
}

std::wstring lowerCase(std::wstring text)
{
    for (wchar_t& c : text)
        c = lowerCaseChar(c);
    return text;
}

bool exists(const std::wstring& path)
{
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring environmentFolder(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return withForwardSlashes(value);
}

// Every "*.lnk" file below `folder`, depth first, in the order the folder lists them.
// Hidden files and folders stay out, as a plain directory listing leaves them out.
void indexFolder(const std::wstring& folder, std::unordered_map<std::wstring, std::wstring>& index)
{
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((folder + L"/*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
            continue;
        const std::wstring path = folder + L"/" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            indexFolder(path, index);
            continue;
        }
        const std::wstring::size_type dot = name.rfind(L'.');
        if (dot == std::wstring::npos || lowerCase(name.substr(dot)) != L".lnk")
            continue;
        // emplace keeps an earlier shortcut of the same name.
        index.emplace(lowerCase(name.substr(0, dot)), path);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

} // namespace

bool findInAppPaths(const std::wstring& appName, std::wstring& path)
{
    if (appName.empty())
        return false;
    for (const AppPathsRoot& root : appPathsRoots()) {
        const std::wstring keyPath = std::wstring(root.path) + L"\\" + appName;
        for (REGSAM view : registryViews()) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(root.hive, keyPath.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
                continue;
            std::wstring value;
            const bool read = regQueryString(key, nullptr, value);
            RegCloseKey(key);
            if (!read)
                continue;
            replaceAll(value, L"\"", L"", false);
            trimWhitespace(value);
            value = withForwardSlashes(value);
            // An entry left by an uninstalled copy points nowhere.
            if (exists(value)) {
                path = value;
                return true;
            }
        }
    }
    return false;
}

const std::unordered_map<std::wstring, std::wstring>& shortcutIndex()
{
    static const std::unordered_map<std::wstring, std::wstring> index = [] {
        std::unordered_map<std::wstring, std::wstring> result;
        const wchar_t* suffix = L"/Microsoft/Windows/Start Menu/Programs";
        for (const wchar_t* variable : {L"APPDATA", L"ProgramData"}) {
            const std::wstring base = environmentFolder(variable);
            if (base.empty())
                continue;
            const std::wstring folder = base + suffix;
            const DWORD attributes = GetFileAttributesW(folder.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                indexFolder(folder, result);
        }
        return result;
    }();
    return index;
}

bool shortcutTarget(const std::wstring& shortcut, std::wstring& target)
{
    // The caller's thread may or may not have COM already; either way works.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool found = false;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            std::vector<wchar_t> buffer(MAX_PATH * 4, L'\0');
            if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ))
                && SUCCEEDED(link->GetPath(buffer.data(), int(buffer.size()), nullptr, 0)) && buffer[0] != L'\0') {
                target = withForwardSlashes(buffer.data());
                found = true;
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return found;
}

bool findInStartMenu(const std::wstring& appName, std::wstring& path)
{
    const auto& index = shortcutIndex();
    const auto entry = index.find(lowerCase(appName));
    if (entry == index.end())
        return false;
    std::wstring target;
    path = shortcutTarget(entry->second, target) && exists(target) ? target : entry->second;
    return true;
}

} // namespace ProgramLocationIndex
