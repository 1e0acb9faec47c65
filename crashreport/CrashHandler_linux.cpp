#include "CrashHandler.h"

#include "CrashReportArguments.h"
#include "WideUtf8.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>

extern char** environ;

// A fatal signal cannot run Qt or even malloc safely: the handler writes the
// dump with plain system calls from buffers filled at install time, then starts
// the program afresh in its report mode to show the box and send the mail.

namespace {

constexpr std::size_t bufferSize = 2048;

// Taken by the first fatal signal of the process; never reset.
std::atomic<int> dumpAttempted{0};
// The thread that took it, to tell a second crash elsewhere from one in the handler.
std::atomic<long> reportingThread{0};
std::atomic<int> terminateCalled{0};

struct Prepared
{
    char exePath[bufferSize];
    char exeName[bufferSize];
    char appName[bufferSize];
    char appVersion[bufferSize];
    char supportEmail[bufferSize];
    char winver[256];
    char iconId[16];
};
Prepared prepared;

alignas(16) char alternateStack[128 * 1024];

const int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

void copyText(char* out, std::size_t capacity, const std::string& text)
{
    std::size_t length = 0;
    out[0] = 0;
    appendText(out, capacity, length, text.c_str());
}

void writeText(int fd, const char* text)
{
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = write(fd, text, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        text += written;
        left -= std::size_t(written);
    }
}

void writeHex(int fd, unsigned long value)
{
    char text[19] = "0x";
    for (int i = 0; i < 16; ++i)
        text[2 + i] = "0123456789abcdef"[(value >> (60 - 4 * i)) & 0xF];
    text[18] = 0;
    writeText(fd, text);
}

void writeNumber(int fd, long value)
{
    char text[24];
    int position = sizeof text - 1;
    text[position] = 0;
    unsigned long magnitude = value < 0 ? 0ul - (unsigned long)value : (unsigned long)value;
    do {
        text[--position] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0)
        text[--position] = '-';
    writeText(fd, text + position);
}

const char* signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

void writeRegister(int fd, const char* name, unsigned long value)
{
    writeText(fd, "  ");
    writeText(fd, name);
    writeText(fd, " ");
    writeHex(fd, value);
    writeText(fd, "\n");
}

void writeRegisters(int fd, const void* context)
{
    writeText(fd, "Registers:\n");
    if (!context) {
        writeText(fd, "  (none)\n");
        return;
    }
    const ucontext_t* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    static const struct
    {
        const char* name;
        int index;
    } registers[] = {{"rip", REG_RIP}, {"rsp", REG_RSP}, {"rbp", REG_RBP},   {"rax", REG_RAX}, {"rbx", REG_RBX},
                     {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rsi", REG_RSI},   {"rdi", REG_RDI}, {"r8", REG_R8},
                     {"r9", REG_R9},   {"r10", REG_R10}, {"r11", REG_R11},   {"r12", REG_R12}, {"r13", REG_R13},
                     {"r14", REG_R14}, {"r15", REG_R15}, {"eflags", REG_EFL}};
    for (const auto& reg : registers)
        writeRegister(fd, reg.name, (unsigned long)uc->uc_mcontext.gregs[reg.index]);
#elif defined(__aarch64__)
    writeRegister(fd, "pc", uc->uc_mcontext.pc);
    writeRegister(fd, "sp", uc->uc_mcontext.sp);
    for (int i = 0; i < 31; ++i) {
        char name[4] = {'x', char('0' + i / 10), char('0' + i % 10), 0};
        writeRegister(fd, name, uc->uc_mcontext.regs[i]);
    }
#else
    (void)uc;
    writeText(fd, "  (not recorded on this architecture)\n");
#endif
}

void copyFile(int fd, const char* path)
{
    const int source = open(path, O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return;
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(source, chunk, sizeof chunk - 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        chunk[got] = 0;
        writeText(fd, chunk);
    }
    close(source);
}

void writeDump(int fd, int signal, const siginfo_t* info, const void* context, long thread)
{
    writeText(fd, prepared.appName);
    writeText(fd, " ");
    writeText(fd, prepared.appVersion);
    writeText(fd, " crash dump\n");
    writeText(fd, "Signal: ");
    writeNumber(fd, signal);
    writeText(fd, " (");
    writeText(fd, signalName(signal));
    writeText(fd, "), code ");
    writeNumber(fd, info ? info->si_code : 0);
    writeText(fd, "\n");
    if (terminateCalled.load())
        writeText(fd, "Reason: std::terminate\n");
    writeText(fd, "Fault address: ");
    writeHex(fd, info ? (unsigned long)info->si_addr : 0ul);
    writeText(fd, "\nThread: ");
    writeNumber(fd, thread);
    writeText(fd, "\nSystem: ");
    writeText(fd, prepared.winver);
    writeText(fd, "\n");
    writeRegisters(fd, context);
    writeText(fd, "Backtrace:\n");
    void* frames[128];
    const int count = backtrace(frames, 128);
    backtrace_symbols_fd(frames, count, fd);
    writeText(fd, "Memory map:\n");
    copyFile(fd, "/proc/self/maps");
}

// <current folder>/<dump name>; false when the path would not fit.
bool buildDumpPath(char* path)
{
    if (!getcwd(path, bufferSize))
        return false;
    std::size_t length = std::strlen(path);
    if (length == 0 || path[length - 1] != '/') {
        if (!appendText(path, bufferSize, length, "/"))
            return false;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return formatDumpName(path + length, bufferSize - length, prepared.exeName, prepared.appVersion, prepared.winver,
                          crashTimeFromEpoch(now.tv_sec));
}

// The report box runs in a fresh start of the program; this thread waits for it.
void startReportProcess(const char* dumpPath)
{
    char* arguments[] = {prepared.exePath,
                         const_cast<char*>(CrashReportArguments::option),
                         const_cast<char*>(dumpPath),
                         prepared.appName,
                         prepared.appVersion,
                         prepared.supportEmail,
                         prepared.iconId,
                         nullptr};
    // A raw fork: the C library's one runs fork handlers that may need locks
    // the crashed thread holds.
    const long child = syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(prepared.exePath, arguments, environ);
        _exit(127);
    }
    if (child < 0)
        return;
    int status = 0;
    while (waitpid(pid_t(child), &status, 0) < 0 && errno == EINTR) { }
}

void fallBackToDefault(int signal)
{
    // Delivered as soon as the handler returns, with the default action.
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void onFatalSignal(int signal, siginfo_t* info, void* context)
{
    const long self = syscall(SYS_gettid);
    if (dumpAttempted.exchange(1) != 0) {
        // Another thread's report is on screen and ends the process when done.
        if (reportingThread.load() != self) {
            for (;;)
                pause();
        }
        fallBackToDefault(signal);
        return;
    }
    reportingThread.store(self);

    char path[bufferSize];
    if (!buildDumpPath(path)) {
        fallBackToDefault(signal);
        return;
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        fallBackToDefault(signal);
        return;
    }
    writeDump(fd, signal, info, context, self);
    close(fd);
    startReportProcess(path);
    _exit(1);
}

void onTerminate()
{
    terminateCalled.store(1);
    std::abort();
}

} // namespace

std::wstring winverString()
{
    utsname names{};
    if (uname(&names) != 0)
        return L"0.0_x86";
    int major = 0;
    int minor = 0;
    const char* c = names.release;
    for (; *c >= '0' && *c <= '9'; ++c)
        major = major * 10 + (*c - '0');
    if (*c == '.') {
        for (++c; *c >= '0' && *c <= '9'; ++c)
            minor = minor * 10 + (*c - '0');
    }
    const std::string machine = names.machine;
    const wchar_t* architecture = machine == "x86_64" ? L"_x64" : machine == "aarch64" ? L"_arm64" : L"_x86";
    return std::to_wstring(major) + L"." + std::to_wstring(minor) + architecture;
}

std::wstring pathFileName(const std::wstring& path)
{
    const std::wstring::size_type slash = path.find_last_of(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void onDumpWritten(const wchar_t* dumpPath)
{
    CrashHandler::instance().dumpFilePath = dumpPath ? dumpPath : L"";
    startReportProcess(wideToUtf8(CrashHandler::instance().dumpFilePath).c_str());
}

void CrashHandler::install()
{
    const CrashHandler& record = instance();
    const ssize_t length = readlink("/proc/self/exe", prepared.exePath, bufferSize - 1);
    prepared.exePath[length > 0 ? length : 0] = 0;
    const char* slash = std::strrchr(prepared.exePath, '/');
    copyText(prepared.exeName, bufferSize, slash ? slash + 1 : prepared.exePath);
    copyText(prepared.appName, bufferSize, wideToUtf8(record.appName));
    copyText(prepared.appVersion, bufferSize, wideToUtf8(record.appVersion));
    copyText(prepared.supportEmail, bufferSize, wideToUtf8(record.supportEmail));
    copyText(prepared.winver, sizeof prepared.winver, wideToUtf8(winverString()));
    copyText(prepared.iconId, sizeof prepared.iconId, std::to_string(record.iconId));

    // The first backtrace loads the unwinder, which must not happen in the handler.
    void* frame[1];
    backtrace(frame, 1);

    // A stack overflow leaves no stack to run the handler on.
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);

    struct sigaction action
    {
    };
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal : fatalSignals)
        sigaction(signal, &action, nullptr);
    std::set_terminate(onTerminate);
}
