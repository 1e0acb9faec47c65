#include "CrashTestSupport.h"

#include <vector>

namespace CrashTest {

namespace {

void removeTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

const wchar_t mailtoKey[] = L"mailto\\shell\\open\\command";

} // namespace

Folder::Folder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    m_path = std::wstring(temp) + L"crashtest_" + std::to_wstring(GetCurrentProcessId()) + L"_"
        + std::to_wstring(++counter);
    removeTree(m_path);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

Folder::~Folder()
{
    removeTree(m_path);
}

int run(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder, DWORD timeoutMs)
{
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
        return -2;
    CloseHandle(process.hThread);
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    return int(code);
}

std::wstring readWide(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    const DWORD size = GetFileSize(file, nullptr);
    std::wstring text(size / sizeof(wchar_t), L'\0');
    DWORD got = 0;
    ReadFile(file, text.data(), size, &got, nullptr);
    CloseHandle(file);
    return text;
}

std::string head(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    char bytes[4] = {};
    DWORD got = 0;
    ReadFile(file, bytes, 4, &got, nullptr);
    CloseHandle(file);
    return std::string(bytes, got);
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool waitForFile(const std::wstring& path, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        // The writer may still hold it: wait until it has content.
        if (exists(path) && !readWide(path).empty())
            return true;
        Sleep(50);
    }
    return false;
}

std::wstring findFile(const std::wstring& folder, const std::wstring& pattern, int* count)
{
    std::wstring first;
    *count = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return first;
    do {
        if (++*count == 1)
            first = data.cFileName;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return first;
}

MailtoHandler::MailtoHandler(const std::wstring& command)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, mailtoKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return;
    wchar_t old[2048] = {};
    DWORD size = sizeof old - sizeof(wchar_t);
    m_hadOld = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
    m_old = old;
    m_ok = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                          DWORD((command.size() + 1) * sizeof(wchar_t)))
        == ERROR_SUCCESS;
    RegCloseKey(key);
}

MailtoHandler::~MailtoHandler()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, mailtoKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (m_hadOld)
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_old.c_str()),
                       DWORD((m_old.size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, nullptr);
    RegCloseKey(key);
}

} // namespace CrashTest
