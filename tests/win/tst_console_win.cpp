#include "WinTest.h"

#include "ConsoleWriter.h"

#include <string>

namespace {

const char* expectedStdout = "first line\r\nlone\r\nbreak and\r\npair\r\n"
                             "Profil \xc3\xa9t\xc3\xa9 \xe2\x80\x93 \xe6\x97\xa5\xe6\x9c\xac\r\n";
const char* expectedStderr = "Error: G\xc3\xb6teborg \xe6\x97\xa5\xe6\x9c\xac\r\n";

std::string readAll(HANDLE handle)
{
    std::string data;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        data.append(buffer, read);
    return data;
}

std::string readFileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "(cannot open)";
    std::string data = readAll(file);
    CloseHandle(file);
    return data;
}

HANDLE createOutputFile(const std::wstring& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

// Runs the console child with the given handles; returns its exit code or -1.
int runChild(const std::wstring& exitCode, HANDLE out, HANDLE err)
{
    const std::wstring exe = WinTest::exeFolder() + L"wintests_console.exe";
    std::wstring commandLine = L"\"" + exe + L"\" " + exitCode;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    WaitForSingleObject(info.hProcess, 30000);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return int(code);
}

} // namespace

WIN_TEST(console, lineBreaksBecomeCrLf)
{
    CHECK_EQ(ConsoleWriter::toCrLf(L"a\nb\r\nc"), std::wstring(L"a\r\nb\r\nc"));
    CHECK_EQ(ConsoleWriter::toCrLf(L"\r\n\n"), std::wstring(L"\r\n\r\n"));
    CHECK_EQ(ConsoleWriter::toCrLf(L"lone\rcarriage"), std::wstring(L"lone\rcarriage"));
    CHECK_EQ(ConsoleWriter::toCrLf(L""), std::wstring());
}

WIN_TEST(console, redirectedToFilesIsUtf8WithCrLf)
{
    const std::wstring outPath = WinTest::exeFolder() + L"console_out.txt";
    const std::wstring errPath = WinTest::exeFolder() + L"console_err.txt";
    HANDLE out = createOutputFile(outPath);
    HANDLE err = createOutputFile(errPath);
    CHECK(out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE);
    const int code = runChild(L"5", out, err);
    CloseHandle(out);
    CloseHandle(err);

    CHECK_EQ(code, 5);
    CHECK_EQ(readFileBytes(outPath), std::string(expectedStdout)); // no byte-order mark
    CHECK_EQ(readFileBytes(errPath), std::string(expectedStderr));
}

WIN_TEST(console, pipedWithoutParentConsoleIsUtf8)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CHECK(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const std::wstring errPath = WinTest::exeFolder() + L"console_pipe_err.txt";
    HANDLE err = createOutputFile(errPath);

    const int code = runChild(L"1", writeEnd, err);
    CloseHandle(writeEnd); // the child has ended: reading stops at the end of its output
    CloseHandle(err);
    const std::string piped = readAll(readEnd);
    CloseHandle(readEnd);

    CHECK_EQ(code, 1);
    CHECK_EQ(piped, std::string(expectedStdout));
    CHECK_EQ(readFileBytes(errPath), std::string(expectedStderr));
}
