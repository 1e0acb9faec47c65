#include "ConsoleOutput.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

// A terminal, a pipe and a file all take UTF-8 with LF here. A reader that
// goes away early (`quorbilan /list | head -1`) must neither kill the process
// nor change its exit code, so SIGPIPE is ignored and EPIPE dropped.

namespace {

bool attached = false;

// The line as it is written: CR LF becomes LF, and an LF ends it.
void appendLine(QByteArray &bytes, const QString &text)
{
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    bytes += normalized.toUtf8();
    bytes += '\n';
}

void writeAll(int fd, const QByteArray &bytes)
{
    if (!attached)
        return;
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        left -= n;
    }
}

void writeLine(int fd, const QString &text)
{
    QByteArray bytes;
    appendLine(bytes, text);
    writeAll(fd, bytes);
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

void printLine(const QString &text)
{
    writeLine(STDOUT_FILENO, text);
}

void printLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        appendLine(bytes, line);
    writeAll(STDOUT_FILENO, bytes);
}

void printError(const QString &text)
{
    writeLine(STDERR_FILENO, text);
}

// The console tool must work where there is no display at all (a server, an
// ssh session), where a GUI application object would abort. It shows no
// window, so the offscreen platform serves it wherever it runs.
void prepareConsolePlatform()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
