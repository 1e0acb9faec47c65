// Served by the update tests as the downloaded installer. Started by the
// program as it quits, it notes how it was started: its arguments as the
// wide command line gives them, its current folder, the program that started
// it and whether that was still running, then waits for that program to end
// (as an installer that replaces it must) and notes its exit code and whether
// its exe could now be opened for writing. The notes go to "<own path>.record"
// in UTF-8, one "name=value" a line, written whole or not at all.
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <wchar.h>

// How long the program may take to end once it has started us.
#define PARENT_WAIT_MS 60000

static void putLine(FILE* out, const char* name, const wchar_t* value)
{
    char utf8[4 * MAX_PATH + 4 * 1024];
    const int size = WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof utf8, NULL, NULL);
    fprintf(out, "%s=%s\n", name, size > 0 ? utf8 : "");
}

static void putNumber(FILE* out, const char* name, unsigned long value)
{
    fprintf(out, "%s=%lu\n", name, value);
}

static DWORD parentProcessId(void)
{
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

static ULONGLONG creationTime(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return ((ULONGLONG)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

// The process that started us, if it still exists; a process id taken over
// by a later process is not it.
static HANDLE openParent(void)
{
    const DWORD id = parentProcessId();
    if (id == 0)
        return NULL;
    HANDLE parent = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (parent && creationTime(parent) > creationTime(GetCurrentProcess())) {
        CloseHandle(parent);
        parent = NULL;
    }
    return parent;
}

// Whether nobody else has the file open and it could be replaced now.
static int canOpenExclusively(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

int wmain(int argc, wchar_t** argv)
{
    // First of all, while the program may still be ending.
    HANDLE parent = openParent();
    const int parentRunningAtStart = parent && WaitForSingleObject(parent, 0) == WAIT_TIMEOUT;

    wchar_t own[MAX_PATH];
    wchar_t folder[MAX_PATH];
    wchar_t parentImage[MAX_PATH] = L"";
    if (!GetModuleFileNameW(NULL, own, MAX_PATH) || !GetCurrentDirectoryW(MAX_PATH, folder))
        return 1;
    DWORD imageSize = MAX_PATH;
    if (parent && !QueryFullProcessImageNameW(parent, 0, parentImage, &imageSize))
        parentImage[0] = L'\0';

    int parentEnded = 0;
    DWORD parentExitCode = 0;
    if (parent) {
        parentEnded = WaitForSingleObject(parent, PARENT_WAIT_MS) == WAIT_OBJECT_0;
        if (parentEnded && !GetExitCodeProcess(parent, &parentExitCode))
            parentEnded = 0;
        CloseHandle(parent);
    }

    wchar_t record[MAX_PATH + 16];
    wchar_t part[MAX_PATH + 16];
    swprintf(record, MAX_PATH + 16, L"%ls.record", own);
    swprintf(part, MAX_PATH + 16, L"%ls.record.part", own);
    FILE* out = _wfopen(part, L"wb");
    if (!out)
        return 1;
    putNumber(out, "argc", (unsigned long)argc);
    for (int i = 0; i < argc; ++i)
        putLine(out, "arg", argv[i]);
    putLine(out, "commandLine", GetCommandLineW());
    putLine(out, "module", own);
    putLine(out, "currentFolder", folder);
    putLine(out, "parent", parentImage);
    putNumber(out, "parentRunningAtStart", (unsigned long)parentRunningAtStart);
    putNumber(out, "parentEnded", (unsigned long)parentEnded);
    if (parentEnded) {
        putNumber(out, "parentExitCode", parentExitCode);
        if (parentImage[0])
            putNumber(out, "parentImageFree", (unsigned long)canOpenExclusively(parentImage));
    }
    if (fclose(out) != 0)
        return 1;
    return MoveFileExW(part, record, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
