#include "ConsoleWriter.h"

#include "WideUtf8.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace ConsoleWriter {

namespace {

bool attached = false;

void writeAll(int fd, const std::wstring &text)
{
    if (!attached)
        return;
    std::wstring normalized;
    normalized.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue; // "\r\n" becomes "\n"
        normalized += text[i];
    }
    normalized += L'\n';
    const std::string bytes = wideToUtf8(normalized);
    const char *data = bytes.data();
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

void printLine(const std::wstring &text)
{
    writeAll(STDOUT_FILENO, text);
}

void printError(const std::wstring &text)
{
    writeAll(STDERR_FILENO, text);
}

} // namespace ConsoleWriter
