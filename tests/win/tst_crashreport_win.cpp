#include "WinTest.h"

#include "CrashHandler.h"
#include "CrashHandlerWin.h"
#include "CrashTestSupport.h"
#include "ReportMail.h"

#include <dbghelp.h>

#include <cwchar>
#include <string>
#include <vector>

using namespace CrashTest;

namespace {

// The crash handler's record for one case, put back afterwards.
struct RecordScope
{
    RecordScope()
    {
        CrashHandler::setAppName(L"Quorbilan");
        CrashHandler::setAppVersion(L"3.0.0.42");
        CrashHandler::setSupportEmail(L"support@example.com");
        CrashHandler::instance().dumpFilePath = L"C:\\Users\\u\\x y\\app.exe_3.0.0.42.dmp";
    }
    ~RecordScope() { CrashHandler::instance() = saved; }
    CrashHandler saved = CrashHandler::instance();
};

std::wstring winverShape()
{
    // "<major>.<minor>_<architecture>"
    const std::wstring text = winverString();
    const std::size_t dot = text.find(L'.');
    const std::size_t underscore = text.find(L'_');
    if (dot == std::wstring::npos || underscore == std::wstring::npos || dot > underscore)
        return L"bad: " + text;
    return text.substr(underscore);
}

std::wstring exeFolder()
{
    return WinTest::exeFolder();
}

bool copyAs(const std::wstring& source, const std::wstring& target)
{
    return CopyFileW((exeFolder() + source).c_str(), target.c_str(), FALSE) != 0;
}

} // namespace

WIN_TEST(crashtexts, expandsPlaceholders)
{
    RecordScope scope;
    const std::wstring winver = winverString();
    struct Case
    {
        const wchar_t* appName;
        const wchar_t* text;
        bool fileNameOnly;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"Quorbilan", L"%app_name% %app_version% %email% %dump_file% %winver%", false,
         L"Quorbilan 3.0.0.42 support@example.com C:\\Users\\u\\x y\\app.exe_3.0.0.42.dmp " + winver},
        {L"Quorbilan", L"'%dump_file%'", true, L"'app.exe_3.0.0.42.dmp'"},
        {L"Quorbilan", L"%APP_NAME% %unknown%", false, L"%APP_NAME% %unknown%"},
        {L"Q %winver%", L"%app_name%", false, L"Q " + winver},
        {L"%app_name%", L"%app_name%!", false, L"%app_name%!"},
        {L"Quorbilan", L"%app_name% - Unhandled Exception", false, L"Quorbilan - Unhandled Exception"},
    };
    for (const Case& c : cases) {
        CrashHandler::setAppName(c.appName);
        CHECK_EQ(expandPlaceholders(c.text, c.fileNameOnly), c.expected);
    }
}

WIN_TEST(crashtexts, namesTheDumpFromAFixedTime)
{
    wchar_t name[2048];
    const CrashTime time = crashTimeFromEpoch(1772694489); // 2026-03-05 07:08:09 UTC
    CHECK(formatDumpName(name, 2048, L"app.exe", L"3.0.0.42", L"10.0_x64", time));
    CHECK_EQ(std::wstring(name), std::wstring(L"app.exe_3.0.0.42_10.0_x64_2026-3-5_7.8.9.dmp"));
    CHECK(!formatDumpName(name, 20, L"app.exe", L"3.0.0.42", L"10.0_x64", time));
    // A taken name moves to a variant of it.
    CHECK(formatDumpName(name, 2048, L"app.exe", L"3.0.0.42", L"10.0_x64", time, 2));
    CHECK_EQ(std::wstring(name), std::wstring(L"app.exe_3.0.0.42_10.0_x64_2026-3-5_7.8.9-2.dmp"));
    CHECK(formatDumpName(name, 2048, L"app.exe", L"3.0.0.42", L"10.0_x64", time, dumpNameVariants));
    CHECK_EQ(std::wstring(name), std::wstring(L"app.exe_3.0.0.42_10.0_x64_2026-3-5_7.8.9-9.dmp"));
    // This system's text, as the dump name carries it.
    CHECK_EQ(winverShape(), std::wstring(L"_x64"));
}

WIN_TEST(crashtexts, dumpPathFromTheTimeGiven)
{
    RecordScope scope;
    Folder folder;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    CHECK(SetCurrentDirectoryW(folder.path().c_str()));
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring exeName = std::wcsrchr(exe, L'\\') + 1;
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);

    // Milliseconds never show; no part is padded with zeros.
    const auto at = [](WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
        SYSTEMTIME time{};
        time.wYear = year;
        time.wMonth = month;
        time.wDay = day;
        time.wHour = hour;
        time.wMinute = minute;
        time.wSecond = second;
        time.wMilliseconds = 999;
        return time;
    };
    const std::wstring path = miniDumpPath(at(2026, 3, 5, 7, 8, 9));
    const std::wstring latePath = miniDumpPath(at(2026, 12, 31, 23, 59, 59));
    SetCurrentDirectoryW(previous);
    const std::wstring expectedStem = std::wstring(current) + L"\\" + exeName + L"_3.0.0.42_" + winverString();
    CHECK_EQ(path, expectedStem + L"_2026-3-5_7.8.9.dmp");
    CHECK_EQ(latePath, expectedStem + L"_2026-12-31_23.59.59.dmp");
    // Another folder, with or without its closing backslash, and a variant.
    const std::wstring otherStem = L"C:\\dumps\\" + exeName + L"_3.0.0.42_" + winverString();
    CHECK_EQ(miniDumpPath(at(2026, 3, 5, 7, 8, 9), L"C:\\dumps", 3), otherStem + L"_2026-3-5_7.8.9-3.dmp");
    CHECK_EQ(miniDumpPath(at(2026, 3, 5, 7, 8, 9), L"C:\\dumps\\", 1), otherStem + L"_2026-3-5_7.8.9.dmp");
    CHECK_EQ(miniDumpPath(at(2026, 3, 5, 7, 8, 9), std::wstring(2100, L'd'), 1), std::wstring());
}

WIN_TEST(crashtexts, encodesTheMailtoLink)
{
    CHECK_EQ(mailtoLink(L"s@example.com", L"A & B #1", L"50%\nC:\\x y\\d.dmp"),
             std::wstring(L"mailto:s@example.com?subject=A%20%26%20B%20%231&body=50%25%0D%0AC%3A%5Cx%20y%5Cd.dmp"));
    CHECK_EQ(mailtoLink(L"", L"s", L"\x00e9"), std::wstring(L"mailto:?subject=s&body=%C3%A9"));
}

WIN_TEST(mail, findsOutlookAsTheMailtoHandler)
{
    Folder folder;
    const std::wstring longFolder = folder.file(L"Long Folder Name");
    CreateDirectoryW(longFolder.c_str(), nullptr);
    const std::wstring outlook = longFolder + L"\\OUTLOOK.EXE";
    CHECK(copyAs(L"wintests_recorder.exe", outlook));
    wchar_t shortPath[1024] = {};
    GetShortPathNameW(outlook.c_str(), shortPath, 1024);

    struct Case
    {
        std::wstring command;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"\"C:\\Office\\OUTLOOK.EXE\" /m \"%1\"", L"C:\\Office\\OUTLOOK.EXE"},
        {L"C:\\Office\\outlook.exe -c IPM.Note /m \"%1\"", L"C:\\Office\\outlook.exe"},
        {L"\"C:\\Mail\\thunderbird.exe\" -compose \"%1\"", L""},
        {L"\"C:\\Gone\\OFFICE~1\\OUTLOOK.EXE\" /m \"%1\"", L"C:\\Gone\\OFFICE~1\\OUTLOOK.EXE"},
        {L"\"" + std::wstring(shortPath) + L"\" /m \"%1\"",
         std::wstring(shortPath).find(L'~') != std::wstring::npos ? outlook : std::wstring(shortPath)},
    };
    for (const Case& c : cases) {
        MailtoHandler handler(c.command);
        CHECK(handler.ok());
        CHECK_EQ(defaultMailClientOutlookPath(), c.expected);
    }
}

WIN_TEST(mail, takesTheFirstRouteThatWorks)
{
    Folder folder;
    const std::wstring outlook = folder.file(L"outlook.exe");
    const std::wstring mailer = folder.file(L"mailer.exe");
    CHECK(copyAs(L"wintests_recorder.exe", outlook));
    CHECK(copyAs(L"wintests_recorder.exe", mailer));
    // The recording MAPI32.DLL, loaded first so that the name finds it.
    const std::wstring mapiFolder = folder.file(L"mapi");
    CreateDirectoryW(mapiFolder.c_str(), nullptr);
    const std::wstring mapi = mapiFolder + L"\\MAPI32.DLL";
    CHECK(copyAs(L"wintests_mapi.dll", mapi));
    HMODULE recording = LoadLibraryW(mapi.c_str());
    CHECK_MSG(recording && GetProcAddress(recording, "recordingMapi"), "the recording MAPI32.DLL was not loaded");
    const std::wstring attachment = L"C:\\dumps\\a & b.dmp";
    const std::wstring body = L"line one\nline two";

    // Outlook handles mailto: its command line, texts as they are; no MAPI.
    {
        MailtoHandler handler(L"\"" + outlook + L"\" /m \"%1\"");
        sendMail(0, L"Subject", body, L"s@example.com", attachment);
        CHECK(waitForFile(outlook + L".txt"));
        CHECK_EQ(readWide(outlook + L".txt"),
                 L"\"" + outlook + L"\" /a \"" + attachment + L"\" /m \"s@example.com&subject=Subject&body=" + body
                     + L"\"");
        CHECK(!exists(mapi + L".txt"));
    }
    // Another mail program: Simple MAPI with recipient and attachment.
    {
        MailtoHandler handler(L"\"" + mailer + L"\" \"%1\"");
        sendMail(0, L"Subject", body, L"s@example.com", attachment);
        CHECK(waitForFile(mapi + L".txt"));
        CHECK_EQ(readWide(mapi + L".txt"),
                 L"session=0|window=0|flags=12|reserved=0|subject=Subject|note=" + body
                     + L"|recipients=1|to=1:s@example.com:(null)|files=1|file=" + attachment + L":(null)");
        CHECK(!exists(mailer + L".txt"));
        DeleteFileW((mapi + L".txt").c_str());
    }
    // MAPI refuses (the user cancelled): the mailto: link, percent-encoded.
    {
        MailtoHandler handler(L"\"" + mailer + L"\" \"%1\"");
        SetEnvironmentVariableW(L"RECORDING_MAPI_RESULT", L"1");
        sendMail(0, L"Subject", body, L"s@example.com", attachment);
        SetEnvironmentVariableW(L"RECORDING_MAPI_RESULT", nullptr);
        CHECK(waitForFile(mailer + L".txt"));
        CHECK(exists(mapi + L".txt"));
        const std::wstring line = readWide(mailer + L".txt");
        CHECK_MSG(line.find(L"mailto:s@example.com?subject=Subject&body=line%20one%0D%0Aline%20two")
                      != std::wstring::npos,
                  WinTest::utf8(line));
        DeleteFileW((mapi + L".txt").c_str());
        DeleteFileW((mailer + L".txt").c_str());
    }
    // No attachment: only the link.
    {
        MailtoHandler handler(L"\"" + outlook + L"\" /m \"%1\"");
        DeleteFileW((outlook + L".txt").c_str());
        sendMail(0, L"Subject", L"b", L"s@example.com", L"");
        CHECK(waitForFile(outlook + L".txt"));
        const std::wstring line = readWide(outlook + L".txt");
        CHECK_MSG(line.find(L"/m \"mailto:s@example.com?subject=Subject&body=b\"") != std::wstring::npos,
                  WinTest::utf8(line));
        CHECK(!exists(mapi + L".txt"));
    }
    FreeLibrary(recording);
}

namespace {

std::wstring dumpNameAt(const SYSTEMTIME& time, int variant = 1)
{
    wchar_t stamp[64];
    std::swprintf(stamp, 64, L"%d-%d-%d_%d.%d.%d", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                  time.wSecond);
    const std::wstring suffix = variant > 1 ? L"-" + std::to_wstring(variant) : L"";
    return L"wintests_crash.exe_1.2.3.4_" + winverString() + L"_" + stamp + suffix + L".dmp";
}

// The moment a number of seconds after another.
SYSTEMTIME secondsLater(const SYSTEMTIME& time, int seconds)
{
    FILETIME file;
    SystemTimeToFileTime(&time, &file);
    ULARGE_INTEGER at{{file.dwLowDateTime, file.dwHighDateTime}};
    at.QuadPart += LONGLONG(seconds) * 10000000;
    const FILETIME moved{at.LowPart, at.HighPart};
    SYSTEMTIME result;
    FileTimeToSystemTime(&moved, &result);
    return result;
}

// The name of a crash between the two moments, each second of them tried.
bool nameOfATimeBetween(const std::wstring& name, SYSTEMTIME from, const SYSTEMTIME& to, int variant = 1)
{
    FILETIME start;
    FILETIME end;
    SystemTimeToFileTime(&from, &start);
    SystemTimeToFileTime(&to, &end);
    ULARGE_INTEGER at{{start.dwLowDateTime, start.dwHighDateTime}};
    const ULARGE_INTEGER last{{end.dwLowDateTime, end.dwHighDateTime}};
    at.QuadPart -= at.QuadPart % 10000000;
    for (; at.QuadPart <= last.QuadPart; at.QuadPart += 10000000) {
        const FILETIME moment{at.LowPart, at.HighPart};
        SYSTEMTIME time;
        FileTimeToSystemTime(&moment, &time);
        if (name == dumpNameAt(time, variant))
            return true;
    }
    return false;
}

std::vector<unsigned char> readBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::vector<unsigned char> bytes(GetFileSize(file, nullptr));
    DWORD got = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

// What the minidump says about the exception: "<thread id>|<code>|<thread listed>".
std::wstring exceptionInDump(const std::vector<unsigned char>& dump)
{
    const auto at = [&](std::size_t offset, std::size_t size) {
        return offset + size <= dump.size() ? dump.data() + offset : nullptr;
    };
    const auto* header = reinterpret_cast<const MINIDUMP_HEADER*>(at(0, sizeof(MINIDUMP_HEADER)));
    // "MDMP" read as a little-endian number.
    if (!header || header->Signature != 0x504D444Du)
        return L"no minidump";
    const MINIDUMP_EXCEPTION_STREAM* exception = nullptr;
    const MINIDUMP_THREAD_LIST* threads = nullptr;
    for (ULONG32 i = 0; i < header->NumberOfStreams; ++i) {
        const auto* entry = reinterpret_cast<const MINIDUMP_DIRECTORY*>(
            at(header->StreamDirectoryRva + i * sizeof(MINIDUMP_DIRECTORY), sizeof(MINIDUMP_DIRECTORY)));
        if (!entry)
            return L"cut directory";
        const void* data = at(entry->Location.Rva, entry->Location.DataSize);
        if (entry->StreamType == ExceptionStream && entry->Location.DataSize >= sizeof(MINIDUMP_EXCEPTION_STREAM))
            exception = static_cast<const MINIDUMP_EXCEPTION_STREAM*>(data);
        if (entry->StreamType == ThreadListStream && entry->Location.DataSize >= sizeof(ULONG32))
            threads = static_cast<const MINIDUMP_THREAD_LIST*>(data);
    }
    if (!exception)
        return L"no exception stream";
    bool listed = false;
    for (ULONG32 i = 0; threads && i < threads->NumberOfThreads; ++i) {
        if (at(reinterpret_cast<const unsigned char*>(&threads->Threads[i]) - dump.data(), sizeof(MINIDUMP_THREAD))
            && threads->Threads[i].ThreadId == exception->ThreadId)
            listed = true;
    }
    wchar_t code[16];
    std::swprintf(code, 16, L"%08X", unsigned(exception->ExceptionRecord.ExceptionCode));
    return std::to_wstring(exception->ThreadId) + L"|" + code + L"|" + (listed ? L"listed" : L"not listed");
}

// The crash child's dump: one file named after the crash's time, holding a
// minidump whose exception is the crashed thread's access violation.
void checkDump(const Folder& folder, const SYSTEMTIME& before, const SYSTEMTIME& after, std::wstring* path)
{
    int count = 0;
    const std::wstring name = findFile(folder.path(), L"*.dmp", &count);
    CHECK_EQ(count, 1);
    CHECK_MSG(nameOfATimeBetween(name, before, after), WinTest::utf8(name));
    CHECK_EQ(exceptionInDump(readBytes(folder.file(name))), readWide(folder.file(L"thread.txt")) + L"|C0000005|listed");
    *path = folder.file(name);
}

// The report box's whole message for the dump.
std::wstring expectedMessage(const std::wstring& dumpName)
{
    return L"We're sorry but an unhandled exception has occurred and \nCrashTest has become unstable. \nPlease "
           L"send us an e-mail to 'reports@example.org'\nattaching the following crash dump file:\n\n'"
        + dumpName
        + L"'\n\nAfter pressing 'Send Report' button, a default mailer program \nwill be opened with composed "
          L"message.";
}

// Environment variables set for as long as it lives, then put back.
class EnvironmentScope
{
public:
    void set(const wchar_t* name, const std::wstring& value)
    {
        wchar_t old[4096] = {};
        const DWORD length = GetEnvironmentVariableW(name, old, 4096);
        saved.push_back({name, old, length > 0 && length < 4096});
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~EnvironmentScope()
    {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            SetEnvironmentVariableW(it->name.c_str(), it->had ? it->value.c_str() : nullptr);
    }

private:
    struct Saved
    {
        std::wstring name;
        std::wstring value;
        bool had;
    };
    std::vector<Saved> saved;
};

// No debugger and no crash dialog for a crash left to the system.
void quietDefaultHandling()
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    const DWORD off = 0;
    RegSetValueExW(key, L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
    RegCloseKey(key);
}

} // namespace

WIN_TEST(crash, reportEndsWithExitCode1)
{
    for (const std::wstring answer : {L"cancel", L"send"}) {
        Folder folder;
        const std::wstring outlook = folder.file(L"outlook.exe");
        CHECK(copyAs(L"wintests_recorder.exe", outlook));
        MailtoHandler handler(L"\"" + outlook + L"\" /m \"%1\"");

        SYSTEMTIME before;
        GetSystemTime(&before);
        CHECK_EQ(run(exeFolder() + L"wintests_crash.exe", L"crash " + answer, folder.path()), 1);
        SYSTEMTIME after;
        GetSystemTime(&after);
        // The filter stayed in place after another module tried to replace it,
        // patched to return at once ("xor eax, eax; ret" on x64).
        CHECK_EQ(readWide(folder.file(L"filter.txt")), std::wstring(L"returned null"));
        CHECK_EQ(readWide(folder.file(L"patch.txt")), std::wstring(L"33 C0 C3"));
        std::wstring dump;
        checkDump(folder, before, after, &dump);
        if (dump.empty())
            return;
        // Two buttons with the report's captions, the first the default; no close box.
        CHECK_EQ(readWide(folder.file(L"box.txt")),
                 std::wstring(L"Send Report (Recommended)|Cancel|(none)||close greyed|6"));
        CHECK_EQ(readWide(folder.file(L"message.txt")), expectedMessage(dump.substr(dump.rfind(L'\\') + 1)));
        if (answer == L"cancel") {
            CHECK(!exists(outlook + L".txt"));
            continue;
        }
        CHECK(waitForFile(outlook + L".txt"));
        const std::wstring body
            = L"Hello, Support.\n\nI'm having a problem with CrashTest. The dump file is attached.\n"
              L"(don't forget to attach the file "
            + dump + L")\n\nMy windows version is " + winverString()
            + L" and my actions before the problem were... (put some words please)";
        CHECK_EQ(readWide(outlook + L".txt"),
                 L"\"" + outlook + L"\" /a \"" + dump
                     + L"\" /m \"reports@example.org&subject=CrashTest 1.2.3.4 Bug Report&body=" + body + L"\"");
    }
}

WIN_TEST(crash, secondExceptionWaitsForTheReport)
{
    quietDefaultHandling();
    Folder folder;
    // Another thread crashes while the box is open: it waits, and the report
    // ends the process as always.
    CHECK_EQ(run(exeFolder() + L"wintests_crash.exe", L"twice cancel", folder.path()), 1);
    CHECK(!readWide(folder.file(L"second.txt")).empty());
    int count = 0;
    findFile(folder.path(), L"*.dmp", &count);
    CHECK_EQ(count, 1);
}

WIN_TEST(crash, takenNamesAreLeftAlone)
{
    Folder folder;
    // Files of their own under the coming names, a second apart, for far
    // longer than a busy machine takes to start the child and crash it.
    SYSTEMTIME before;
    GetSystemTime(&before);
    const SYSTEMTIME from = secondsLater(before, -1);
    std::vector<std::wstring> planted;
    for (int second = 0; second <= 600; ++second) {
        const std::wstring path = folder.file(dumpNameAt(secondsLater(from, second)));
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        CHECK(file != INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "planted", 7, &written, nullptr);
        CloseHandle(file);
        planted.push_back(path);
    }
    CHECK_EQ(run(exeFolder() + L"wintests_crash.exe", L"crash cancel", folder.path()), 1);
    SYSTEMTIME after;
    GetSystemTime(&after);
    for (const std::wstring& path : planted)
        CHECK_EQ(head(path), std::string("plan"));
    int count = 0;
    findFile(folder.path(), L"*-2.dmp", &count);
    CHECK_EQ(count, 1);
    const std::wstring name = findFile(folder.path(), L"*-2.dmp", &count);
    CHECK_MSG(nameOfATimeBetween(name, from, after, 2), WinTest::utf8(name));
    CHECK_EQ(head(folder.file(name)), std::string("MDMP"));
    findFile(folder.path(), L"*.dmp", &count);
    CHECK_EQ(count, int(planted.size()) + 1);
    CHECK_EQ(readWide(folder.file(L"message.txt")), expectedMessage(name));
}

WIN_TEST(crash, unwritableFolderLeavesTheDumpInTheTempFolder)
{
    // No file can be made in /proc; the records go elsewhere.
    Folder records;
    Folder temp;
    int code = 0;
    {
        EnvironmentScope environment;
        environment.set(L"TMP", temp.path());
        environment.set(L"TEMP", temp.path());
        environment.set(L"CRASHTEST_RECORDS", records.path());
        code = run(exeFolder() + L"wintests_crash.exe", L"crash cancel", L"Z:\\proc");
    }
    CHECK_EQ(code, 1);
    int count = 0;
    const std::wstring name = findFile(temp.path(), L"*.dmp", &count);
    CHECK_EQ(count, 1);
    CHECK_EQ(head(temp.file(name)), std::string("MDMP"));
    // The box names the whole path: the file is not where the user looks.
    CHECK_EQ(readWide(records.file(L"message.txt")), expectedMessage(temp.file(name)));
}

WIN_TEST(crash, unwritableFoldersGiveNoDumpAndNoBox)
{
    // No file can be made in /proc, which is the temporary folder too. Nobody
    // would answer a box: a shown one would hold the child until the timeout.
    quietDefaultHandling();
    int code = 0;
    {
        EnvironmentScope environment;
        environment.set(L"TMP", L"Z:\\proc");
        environment.set(L"TEMP", L"Z:\\proc");
        code = run(exeFolder() + L"wintests_crash.exe", L"crash none", L"Z:\\proc", 60000);
    }
    CHECK(code != -1);
    CHECK(code != 1);
    CHECK(code != -2);
}
