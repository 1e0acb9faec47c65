#include "ConsoleWriter.h"

#include <windows.h>

namespace ConsoleWriter {

namespace {

struct StreamWriter
{
    HANDLE handle = nullptr;
    bool isConsole = false;
    UINT codePage = CP_UTF8;
};

StreamWriter stdoutWriter;
StreamWriter stderrWriter;
HANDLE consoleOut = INVALID_HANDLE_VALUE;
bool attached = false;
bool firstConsoleWrite = true;

DWORD fileTypeOf(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return FILE_TYPE_UNKNOWN;
    return GetFileType(handle);
}

void setUp(StreamWriter& writer, HANDLE handle, DWORD type)
{
    writer = StreamWriter();
    switch (type) {
    case FILE_TYPE_DISK:
        writer.handle = handle;
        break;
    case FILE_TYPE_PIPE:
        writer.handle = handle;
        if (attached) {
            const UINT cp = GetConsoleOutputCP();
            if (cp != 0)
                writer.codePage = cp;
        }
        break;
    case FILE_TYPE_CHAR: {
        DWORD mode = 0;
        writer.handle = handle;
        writer.isConsole = GetConsoleMode(handle, &mode) != 0;
        break;
    }
    default:
        if (consoleOut != INVALID_HANDLE_VALUE) {
            writer.handle = consoleOut;
            writer.isConsole = true;
        }
        break;
    }
}

void writeLine(const StreamWriter& writer, const std::wstring& text)
{
    if (writer.handle == nullptr)
        return;

    std::wstring output;
    if (writer.isConsole && firstConsoleWrite) {
        firstConsoleWrite = false;
        // The shell has printed its prompt already; start below it.
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (GetConsoleScreenBufferInfo(writer.handle, &info) && info.dwCursorPosition.X != 0)
            output = L"\r\n";
    }
    output += toCrLf(text);
    output += L"\r\n";

    if (writer.isConsole) {
        DWORD written = 0;
        WriteConsoleW(writer.handle, output.data(), DWORD(output.size()), &written, nullptr);
        return;
    }
    const int bytes
        = WideCharToMultiByte(writer.codePage, 0, output.data(), int(output.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return;
    std::string encoded(size_t(bytes), '\0');
    WideCharToMultiByte(writer.codePage, 0, output.data(), int(output.size()), encoded.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(writer.handle, encoded.data(), DWORD(encoded.size()), &written, nullptr);
}

} // namespace

void attachConsole()
{
    // Look at the handles before attaching, so the caller's redirections count.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const DWORD outType = fileTypeOf(out);
    const DWORD errType = fileTypeOf(err);

    attached = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (attached) {
        consoleOut = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    }
    setUp(stdoutWriter, out, outType);
    setUp(stderrWriter, err, errType);
}

void detachConsole()
{
    if (consoleOut != INVALID_HANDLE_VALUE) {
        CloseHandle(consoleOut);
        consoleOut = INVALID_HANDLE_VALUE;
    }
    if (attached) {
        FreeConsole();
        attached = false;
    }
    stdoutWriter = StreamWriter();
    stderrWriter = StreamWriter();
}

void printLine(const std::wstring& text)
{
    writeLine(stdoutWriter, text);
}

// The writer takes one line at a time.
void printLines(const std::vector<std::wstring>& lines)
{
    for (const std::wstring& line : lines)
        printLine(line);
}

void printError(const std::wstring& text)
{
    writeLine(stderrWriter, text);
}

} // namespace ConsoleWriter
