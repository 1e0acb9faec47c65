#include "WinTest.h"

#include "ProcessHelpers.h"
#include "StringHelpers.h"
#include "WideUtf8.h"

#include <cstdio>
#include <vector>

namespace WinTest {

namespace {

struct Case
{
    const char* group;
    const char* name;
    Function function;
};

std::vector<Case>& cases()
{
    static std::vector<Case> all;
    return all;
}

bool currentFailed = false;

} // namespace

Registration::Registration(const char* group, const char* name, Function function)
{
    cases().push_back({group, name, function});
}

void fail(const char* file, int line, const std::string& message)
{
    currentFailed = true;
    std::printf("    %s:%d: %s\n", file, line, message.c_str());
}

std::string utf8(const std::wstring& text)
{
    return wideToUtf8(text);
}

std::string show(const std::wstring& text)
{
    return '"' + utf8(text) + '"';
}

std::string show(const std::string& text)
{
    return '"' + text + '"';
}

std::wstring exeFolder()
{
    const std::wstring path = ProcessHelpers::moduleFileName(nullptr);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

bool sameNoCase(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && findNoCase(a, b, 0) == 0;
}

ChildProcess::ChildProcess(const std::wstring& path)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + path + L"\"";
    started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &info);
}

ChildProcess::~ChildProcess()
{
    if (started) {
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

} // namespace WinTest

int wmain(int argc, wchar_t** argv)
{
    const std::string group = argc > 1 ? WinTest::utf8(argv[1]) : std::string();
    int passed = 0;
    int failed = 0;
    for (const WinTest::Case& c : WinTest::cases()) {
        if (!group.empty() && group != c.group)
            continue;
        WinTest::currentFailed = false;
        std::printf("RUN  %s.%s\n", c.group, c.name);
        std::fflush(stdout);
        c.function();
        std::printf("%s %s.%s\n", WinTest::currentFailed ? "FAIL" : "PASS", c.group, c.name);
        std::fflush(stdout);
        (WinTest::currentFailed ? failed : passed) += 1;
    }
    std::printf("wintests %s: %d passed, %d failed\n", group.empty() ? "(all)" : group.c_str(), passed, failed);
    return failed > 0 || passed == 0 ? 1 : 0;
}
