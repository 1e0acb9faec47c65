#pragma once

// A small test runner for the Win32 layer: Qt is not available for Windows here.
// WIN_TEST(group, name) defines a case; CHECK and CHECK_EQ end the case at the
// first failure. The runner takes a group name and prints one line per case and
// a summary; its exit code is non-zero when a case failed or none ran.

#include <windows.h>

#include <string>
#include <type_traits>

namespace WinTest {

using Function = void (*)();

struct Registration
{
    Registration(const char* group, const char* name, Function function);
};

void fail(const char* file, int line, const std::string& message);

std::string show(const std::wstring& text);
std::string show(const std::string& text);
inline std::string show(const wchar_t* text)
{
    return show(std::wstring(text ? text : L"(null)"));
}
inline std::string show(const char* text)
{
    return show(std::string(text ? text : "(null)"));
}
inline std::string show(bool value)
{
    return value ? "true" : "false";
}
template <typename T>
std::enable_if_t<std::is_arithmetic_v<T>, std::string> show(T value)
{
    return std::to_string(value);
}

// UTF-8 form of a wide string, for messages.
std::string utf8(const std::wstring& text);

// The folder of the running test executable, with a trailing backslash.
std::wstring exeFolder();

// Whether two names are equal but for case, as Windows compares file names.
bool sameNoCase(const std::wstring& a, const std::wstring& b);

// A started child process, ended when the object goes.
class ChildProcess
{
public:
    explicit ChildProcess(const std::wstring& path);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    BOOL started = FALSE;
    PROCESS_INFORMATION info{};
};

} // namespace WinTest

#define WIN_TEST(group, name)                                                                        \
    static void group##_##name();                                                                    \
    static const WinTest::Registration group##_##name##_registration(#group, #name, group##_##name); \
    static void group##_##name()

#define CHECK_MSG(condition, message)                                                     \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            WinTest::fail(__FILE__, __LINE__, std::string(#condition) + " " + (message)); \
            return;                                                                       \
        }                                                                                 \
    } while (0)

#define CHECK(condition) CHECK_MSG(condition, "")

#define CHECK_EQ(actual, expected)                                                                 \
    do {                                                                                           \
        const auto& actual_ = (actual);                                                            \
        const auto& expected_ = (expected);                                                        \
        if (!(actual_ == expected_)) {                                                             \
            WinTest::fail(__FILE__, __LINE__,                                                      \
                          std::string(#actual) + ": got " + WinTest::show(actual_) + ", expected " \
                              + WinTest::show(expected_));                                         \
            return;                                                                                \
        }                                                                                          \
    } while (0)
