#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The crash reporter of a GUI run: once installed, the first fatal fault of any
// thread writes a dump into the current folder (the user's temporary folder
// when that cannot take it), offers to mail it to support and ends the process
// with exit code 1. A console run never installs it.
class CrashHandler
{
public:
    static CrashHandler& instance();

    static void setAppName(const wchar_t* name);
    static void setAppVersion(const wchar_t* version);
    static void setSupportEmail(const wchar_t* address);
    static void setIconId(int id);

    // Takes over fatal faults for the rest of the process; there is no uninstall.
    static void install();

    // Readies the calling thread for reporting its own faults, a stack overflow
    // included. Every thread the program starts calls it before anything else;
    // later calls, and calls before install(), do nothing.
    static void prepareThread();

    std::wstring appName = L"App";
    std::wstring appVersion = L"1.0";
    std::wstring supportEmail;
    std::wstring sendButtonText = L"Send Report (Recommended)";
    std::wstring cancelButtonText = L"Cancel";
    std::wstring caption = L"%app_name% - Unhandled Exception";
    std::wstring message = L"We're sorry but an unhandled exception has occurred and \n%app_name% has become "
                           L"unstable. \nPlease send us an e-mail to '%email%'\nattaching the following crash dump "
                           L"file:\n\n'%dump_file%'\n\nAfter pressing 'Send Report' button, a default mailer "
                           L"program \nwill be opened with composed message.";
    std::wstring mailSubject = L"%app_name% %app_version% Bug Report";
    std::wstring mailBody = L"Hello, Support.\n\nI'm having a problem with %app_name%. The dump file is attached.\n"
                            L"(don't forget to attach the file %dump_file%)\n\nMy windows version is %winver% and my "
                            L"actions before the problem were... (put some words please)";
    std::wstring dumpFilePath;
    std::wstring additionalInfo;
    int iconId = 0;
};

// The template with the record's values in place of %app_name%, %app_version%,
// %email%, %dump_file% (its file name only when asked) and %winver%.
std::wstring expandPlaceholders(const std::wstring& text, bool fileNameOnly);

// The system's version and architecture as the dump name carries it, e.g. 10.0_x64.
std::wstring winverString();

// The file-name part of a path.
std::wstring pathFileName(const std::wstring& path);

// Whether the file lies directly in the process's current folder.
bool isInCurrentFolder(const std::wstring& path);

// The report box's text about the record's dump: its file name alone when it
// lies in the current folder, as the user expects it there; its whole path
// when it had to go elsewhere.
std::wstring reportBoxMessage();

// The report mail's body about the record's dump, the additional info
// appended. A mail that cannot carry the dump asks for the file to be attached
// instead of saying that it is.
std::wstring reportMailBody(bool dumpAttached);

// Composes the report mail about the record's dump (full path in the body,
// the dump attached) and hands it to the user's mail program.
void sendReportMail();

// sendReportMail without waiting for the mail program, which may stay open for
// as long as the user writes; returns at once.
void startReportMail();

// Shows the report box for the dump just written and mails it on request.
void onDumpWritten(const wchar_t* dumpPath);

// A moment in UTC, as the dump name spells it.
struct CrashTime
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The UTC calendar time of seconds since 1970; safe inside a signal handler.
CrashTime crashTimeFromEpoch(std::int64_t seconds);

// How many names a dump tries in one folder before it goes on to the next:
// the plain name, then "-2" ... "-9" before the extension.
inline constexpr int dumpNameVariants = 9;

// Writes "<exe>_<version>_<winver>_<Y>-<M>-<D>_<h>.<m>.<s>.dmp" into out, which
// holds capacity characters with the terminator; a variant from 2 on goes
// before the extension as "-<variant>". False, with nothing promised about
// out, when the name would not fit. No allocation: safe inside a signal
// handler.
bool formatDumpName(char* out, std::size_t capacity, const char* exe, const char* version, const char* winver,
                    const CrashTime& time, int variant = 1);
bool formatDumpName(wchar_t* out, std::size_t capacity, const wchar_t* exe, const wchar_t* version,
                    const wchar_t* winver, const CrashTime& time, int variant = 1);

// Appends text at out[length]; false when it and the terminator would not fit.
bool appendText(char* out, std::size_t capacity, std::size_t& length, const char* text);
bool appendText(wchar_t* out, std::size_t capacity, std::size_t& length, const wchar_t* text);
