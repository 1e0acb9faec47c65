#include "ConsoleWriter.h"

#include "WideUtf8.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace ConsoleWriter {

namespace {

bool attached = false;

// The line as it is written: CR LF becomes LF, and an LF ends it.
void appendLine(std::wstring& out, const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        out += text[i];
    }
    out += L'\n';
}

void writeAll(int fd, const std::wstring& text)
{
    if (!attached)
        return;
    const std::string bytes = wideToUtf8(text);
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= size_t(n);
    }
}

void writeLine(int fd, const std::wstring& text)
{
    std::wstring line;
    appendLine(line, text);
    writeAll(fd, line);
}

} // namespace

void attachConsole()
{
    std::signal(SIGPIPE, SIG_IGN);
    attached = true;
}

void detachConsole()
{
    attached = false;
}

void printLine(const std::wstring& text)
{
    writeLine(STDOUT_FILENO, text);
}

void printLines(const std::vector<std::wstring>& lines)
{
    std::wstring all;
    for (const std::wstring& line : lines)
        appendLine(all, line);
    writeAll(STDOUT_FILENO, all);
}

void printError(const std::wstring& text)
{
    writeLine(STDERR_FILENO, text);
}

} // namespace ConsoleWriter
