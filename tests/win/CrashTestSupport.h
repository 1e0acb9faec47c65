#pragma once

// Shared by the crash reporter's Windows tests: private folders, child runs,
// recorded files and the registered mailto: handler.

#include <windows.h>

#include <string>

namespace CrashTest {

// A fresh folder below the temp folder, removed with its contents at the end.
class Folder
{
public:
    Folder();
    ~Folder();
    const std::wstring& path() const { return m_path; }
    std::wstring file(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// Runs a program in a folder and waits; its exit code, or -1 when it did not
// end in time (it is killed then).
int run(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder, DWORD timeoutMs = 60000);

// A whole file read as UTF-16; empty when missing.
std::wstring readWide(const std::wstring& path);
// The first 4 bytes of a file.
std::string head(const std::wstring& path);
bool exists(const std::wstring& path);
// Waits up to timeoutMs for a file to appear.
bool waitForFile(const std::wstring& path, DWORD timeoutMs = 20000);
// The names of the files in folder matching pattern.
std::wstring findFile(const std::wstring& folder, const std::wstring& pattern, int* count);

// Registers a command for mailto: links for as long as it lives, then puts the
// old one back.
class MailtoHandler
{
public:
    explicit MailtoHandler(const std::wstring& command);
    ~MailtoHandler();
    bool ok() const { return m_ok; }

private:
    std::wstring m_old;
    bool m_hadOld = false;
    bool m_ok = false;
};

} // namespace CrashTest
