#include "CrashHandler.h"

#include "CrashReportArguments.h"
#include "ReportMail.h"
#include "WideUtf8.h"

#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>

extern char** environ;

// A fatal signal cannot run Qt or even malloc safely: the handler writes the
// dump with plain system calls from buffers filled at install time, then starts
// the program afresh in its report mode to show the box and send the mail.
// Every fatal signal stays blocked while it runs, so that nothing but the
// handler itself decides how the process ends.

namespace {

constexpr std::size_t bufferSize = 2048;

// Taken by the first fatal signal of the process; never reset.
std::atomic<int> dumpAttempted{0};
// The thread that took it, to tell a second crash elsewhere from one in the handler.
std::atomic<long> reportingThread{0};
std::atomic<int> terminateCalled{0};
std::atomic<bool> installed{false};

// Armed while the reporting thread writes a section that may fault (the
// backtrace walks a stack the crash may have wrecked): a fault there comes back
// here and the dump goes on without the rest of that section.
sigjmp_buf sectionRecovery;
std::atomic<bool> sectionArmed{false};

struct Prepared
{
    char exePath[bufferSize];
    char exeName[bufferSize];
    char appName[bufferSize];
    char appVersion[bufferSize];
    char supportEmail[bufferSize];
    // Where the dump goes when the current folder cannot take it.
    char tempFolder[bufferSize];
    char winver[256];
    char iconId[16];
    char buildId[2 * 64 + 1];
};
Prepared prepared;

const int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// What a faulting instruction raises; these must reach the handler again while
// a section that may fault is written.
const int faultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};

// Room for the handler when the thread's own stack is gone, below it a guard
// page so that an overflow of this one faults too instead of hitting memory.
constexpr std::size_t alternateStackSize = 128 * 1024;

// One per thread, released when the thread ends.
struct AlternateStack
{
    void* mapping = nullptr;
    std::size_t mappingSize = 0;

    ~AlternateStack()
    {
        if (!mapping)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(mapping, mappingSize);
    }
};
thread_local AlternateStack threadStack;

void copyText(char* out, std::size_t capacity, const std::string& text)
{
    std::size_t length = 0;
    out[0] = 0;
    appendText(out, capacity, length, text.c_str());
}

// Set by the first write of the dump that fails; a dump with a gap is no dump.
bool writeFailed = false;

void writeText(int fd, const char* text)
{
    std::size_t left = std::strlen(text);
    while (left > 0 && !writeFailed) {
        const ssize_t written = write(fd, text, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            writeFailed = true;
            return;
        }
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
    if (source < 0) {
        writeText(fd, "  (not readable)\n");
        return;
    }
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

// Signals another process sent carry its pid where a fault carries an address.
bool sentByProcess(const siginfo_t* info)
{
    return info && (info->si_code == SI_USER || info->si_code == SI_TKILL || info->si_code == SI_QUEUE);
}

// abort(), and so qFatal and std::terminate, sends the signal to the program's
// own thread: no other process had a hand in it.
bool raisedBySelf(const siginfo_t* info)
{
    return sentByProcess(info) && info->si_pid == pid_t(syscall(SYS_getpid));
}

void setFaultSignalsBlocked(bool blocked)
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : faultSignals)
        sigaddset(&set, signal);
    pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void writeBacktrace(int fd)
{
    writeText(fd, "Backtrace:\n");
    // A fault in here is a fault of the unwinder on a damaged stack; it must
    // not hit a blocked signal, which the kernel would answer with a kill.
    if (sigsetjmp(sectionRecovery, 1) == 0) {
        sectionArmed.store(true);
        setFaultSignalsBlocked(false);
        void* frames[128];
        const int count = backtrace(frames, 128);
        setFaultSignalsBlocked(true);
        sectionArmed.store(false);
        backtrace_symbols_fd(frames, count, fd);
    } else {
        sectionArmed.store(false);
        writeText(fd, "  (cut short: reading the stack faulted)\n");
    }
}

// What cannot fault comes first, so that a backtrace that does leaves the rest.
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
    if (raisedBySelf(info)) {
        writeText(fd, "Raised by: the program itself\n");
    } else if (sentByProcess(info)) {
        writeText(fd, "Sent by process: ");
        writeNumber(fd, info->si_pid);
        writeText(fd, " (user ");
        writeNumber(fd, long(info->si_uid));
        writeText(fd, ")\n");
    } else {
        writeText(fd, "Fault address: ");
        writeHex(fd, info ? (unsigned long)info->si_addr : 0ul);
        writeText(fd, "\n");
    }
    writeText(fd, "Thread: ");
    writeNumber(fd, thread);
    writeText(fd, "\nSystem: ");
    writeText(fd, prepared.winver);
    writeText(fd, "\nBuild id: ");
    writeText(fd, prepared.buildId[0] ? prepared.buildId : "(none)");
    writeText(fd, "\n");
    writeRegisters(fd, context);
    writeText(fd, "Memory map:\n");
    copyFile(fd, "/proc/self/maps");
    writeBacktrace(fd);
}

// The current folder into folder; false when it is gone or its path would not
// fit. The system call itself: the C library's getcwd falls back to reading
// directories, with malloc, for a folder outside the process's root.
bool currentFolder(char* folder)
{
    const long length = syscall(SYS_getcwd, folder, bufferSize);
    return length > 0 && folder[0] == '/';
}

// <folder>/<dump name>; false when the path would not fit.
bool buildDumpPath(char* path, const char* folder, const CrashTime& time, int variant)
{
    std::size_t length = 0;
    path[0] = 0;
    if (!appendText(path, bufferSize, length, folder))
        return false;
    if (length == 0 || path[length - 1] != '/') {
        if (!appendText(path, bufferSize, length, "/"))
            return false;
    }
    return formatDumpName(path + length, bufferSize - length, prepared.exeName, prepared.appVersion, prepared.winver,
                          time, variant);
}

// A new file of the dump's name in folder, its path in path; -1 when the
// folder takes none. The name is predictable, so whatever already has it (a
// link planted to be written through, a FIFO that would block the open for
// good, an earlier dump) is never opened: the next variant is tried instead.
int createDumpFile(char* path, const char* folder, const CrashTime& time)
{
    for (int variant = 1; variant <= dumpNameVariants; ++variant) {
        if (!buildDumpPath(path, folder, time, variant))
            return -1;
        for (;;) {
            // For the user's eyes only: it holds the process's memory layout,
            // and the temporary folder is shared.
            const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
            if (fd >= 0)
                return fd;
            if (errno != EINTR)
                break;
        }
        if (errno != EEXIST && errno != ELOOP)
            return -1;
    }
    return -1;
}

// Writes the whole dump into a new file in folder; false, leaving nothing
// behind, when the folder cannot take it.
bool writeDumpInto(char* path, const char* folder, const CrashTime& time, int signal, const siginfo_t* info,
                   const void* context, long thread)
{
    const int fd = createDumpFile(path, folder, time);
    if (fd < 0)
        return false;
    writeFailed = false;
    writeDump(fd, signal, info, context, thread);
    if (close(fd) != 0)
        writeFailed = true;
    if (writeFailed) {
        // A full disk: a cut dump would only mislead, and the box would offer it.
        unlink(path);
        return false;
    }
    return true;
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
        // Nothing of the crashed process lives on in the report: not its X
        // connection (its frozen window would stay mapped) nor its
        // single-instance socket (a new start would hand over to it).
        if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0) {
            for (int fd = 3; fd < 65536; ++fd)
                close(fd);
        }
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
    if (sectionArmed.load() && reportingThread.load() == self) {
        // Another process's signal now is dropped: the report ends the process.
        if (sentByProcess(info))
            return;
        siglongjmp(sectionRecovery, 1);
    }
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

    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const CrashTime time = crashTimeFromEpoch(now.tv_sec);
    // The current folder first; a program started from / or from a folder
    // since deleted still has its report in the temporary folder.
    char current[bufferSize];
    const char* folders[] = {currentFolder(current) ? current : nullptr, prepared.tempFolder};
    char path[bufferSize];
    for (const char* folder : folders) {
        if (folder && writeDumpInto(path, folder, time, signal, info, context, self)) {
            startReportProcess(path);
            _exit(1);
        }
    }
    fallBackToDefault(signal);
}

void onTerminate()
{
    terminateCalled.store(1);
    std::abort();
}

// The executable's NT_GNU_BUILD_ID note, as hex, into prepared.buildId.
int readBuildId(dl_phdr_info* info, std::size_t, void*)
{
    // The first object reported is the executable itself.
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type != PT_NOTE)
            continue;
        const char* note = reinterpret_cast<const char*>(info->dlpi_addr + header.p_vaddr);
        const char* end = note + header.p_memsz;
        while (note + sizeof(ElfW(Nhdr)) <= end) {
            const auto* entry = reinterpret_cast<const ElfW(Nhdr)*>(note);
            const char* name = note + sizeof(ElfW(Nhdr));
            const char* description = name + ((entry->n_namesz + 3) & ~3u);
            if (entry->n_type == NT_GNU_BUILD_ID && entry->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0
                && entry->n_descsz <= 64 && description + entry->n_descsz <= end) {
                for (std::size_t b = 0; b < entry->n_descsz; ++b) {
                    const unsigned char byte = static_cast<unsigned char>(description[b]);
                    prepared.buildId[2 * b] = "0123456789abcdef"[byte >> 4];
                    prepared.buildId[2 * b + 1] = "0123456789abcdef"[byte & 0xF];
                }
                prepared.buildId[2 * entry->n_descsz] = 0;
                return 1;
            }
            note = description + ((entry->n_descsz + 3) & ~3u);
        }
    }
    return 1;
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

bool isInCurrentFolder(const std::wstring& path)
{
    char folder[bufferSize];
    if (!currentFolder(folder))
        return false;
    const std::wstring::size_type slash = path.find_last_of(L'/');
    if (slash == std::wstring::npos)
        return false;
    std::wstring current = utf8ToWide(folder);
    if (current.size() > 1 && current.back() == L'/')
        current.pop_back();
    return path.substr(0, slash == 0 ? 1 : slash) == current;
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
    // The user's temporary folder as the environment names it now: the
    // handler cannot read the environment safely.
    const char* temp = std::getenv("TMPDIR");
    copyText(prepared.tempFolder, bufferSize, temp && temp[0] == '/' ? temp : "/tmp");
    copyText(prepared.winver, sizeof prepared.winver, wideToUtf8(winverString()));
    copyText(prepared.iconId, sizeof prepared.iconId, std::to_string(record.iconId));
    prepared.buildId[0] = 0;
    dl_iterate_phdr(readBuildId, nullptr);

    // The first backtrace loads the unwinder, which must not happen in the handler.
    void* frame[1];
    backtrace(frame, 1);

    installed.store(true);
    prepareThread();

    struct sigaction action
    {
    };
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal : fatalSignals)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : fatalSignals)
        sigaction(signal, &action, nullptr);
    std::set_terminate(onTerminate);
}

void CrashHandler::prepareThread()
{
    // A console run has no handler to give a stack to.
    if (!installed.load() || threadStack.mapping)
        return;
    // A stack overflow leaves no stack to run the handler on, and the kernel
    // gives every new thread none of its own.
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    const std::size_t size = alternateStackSize + page;
    void* mapping = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED)
        return;
    mprotect(mapping, page, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(mapping) + page;
    stack.ss_size = alternateStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(mapping, size);
        return;
    }
    threadStack.mapping = mapping;
    threadStack.mappingSize = size;
}

void startReportMail()
{
    const CrashHandler& record = CrashHandler::instance();
    const std::wstring subject = expandPlaceholders(record.mailSubject, false);
    const std::wstring body = reportMailBody(true);
    const std::wstring linkBody = reportMailBody(false);
    // The mail program stays for as long as the user writes: it runs from a
    // process of its own, in a session of its own, that nobody here waits for,
    // so that the crashed program ends as soon as the box is gone.
    if (fork() != 0)
        return;
    setsid();
    if (!sendMailMapi(0, subject, body, record.supportEmail, record.dumpFilePath))
        sendMailTo(0, subject, linkBody, record.supportEmail);
    _exit(0);
}
