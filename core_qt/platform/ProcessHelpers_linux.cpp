#include "ProcessHelpers.h"

#include "WideUtf8.h"

#include <dirent.h>
#include <fcntl.h>
#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace ProcessHelpers {

namespace {

// 100-ns units from 1601-01-01 to 1970-01-01.
constexpr uint64_t unixEpochInFileTime = 116444736000000000ULL;

uint64_t clockNanoseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return uint64_t(now.tv_sec) * 1000000000ULL + uint64_t(now.tv_nsec);
}

// Plain read(2): a process may end while its /proc files are read, and the
// stream library reports that as an exception (ESRCH) instead of an end of file.
std::string readFile(const std::string& path)
{
    std::string content;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        content.append(buffer, std::size_t(n));
    }
    close(fd);
    return content;
}

std::string readLink(const std::string& path)
{
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            return {};
        if (std::size_t(length) < target.size()) {
            target.resize(std::size_t(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The kernel marks the link of a replaced or removed executable this way.
std::string withoutDeletedMark(std::string path)
{
    static const std::string mark = " (deleted)";
    if (path.size() > mark.size() && path.compare(path.size() - mark.size(), mark.size(), mark) == 0)
        path.resize(path.size() - mark.size());
    return path;
}

// The state letter, the parent's id and the start time in clock ticks since
// boot from /proc/<pid>/stat. The name field may hold blanks and parentheses,
// so the fields are counted from its closing parenthesis.
bool readStat(const std::string& folder, char& state, uint32_t& parentId, uint64_t& startTicks)
{
    const std::string stat = readFile(folder + "/stat");
    const std::string::size_type nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return false;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    for (int index = 3; fields >> field; ++index) {
        if (index == 3)
            state = field.empty() ? '?' : field[0];
        if (index == 4)
            parentId = uint32_t(std::strtoul(field.c_str(), nullptr, 10));
        if (index == 22) {
            startTicks = std::strtoull(field.c_str(), nullptr, 10);
            return true;
        }
    }
    return false;
}

} // namespace

// Linux has no first pseudo entry to skip: every process whose /proc folder can
// be read is listed, in the order of the folder.
std::vector<Process> runningProcesses(ProcessFilter filter)
{
    std::vector<Process> list;
    DIR* proc = opendir("/proc");
    if (!proc)
        return list;
    // Boot time on the wall clock; start times count from it, suspended time included.
    const uint64_t bootNanoseconds = clockNanoseconds(CLOCK_REALTIME) - clockNanoseconds(CLOCK_BOOTTIME);
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const unsigned long pid = std::strtoul(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0')
            continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        Process record;
        record.processId = uint32_t(pid);
        uint64_t startTicks = 0;
        char state = '?';
        if (!readStat(folder, state, record.parentProcessId, startTicks))
            continue; // gone since the folder was listed
        // A zombie has ended and only waits for its parent to collect it.
        if (state == 'Z' || state == 'X')
            continue;
        if (ticksPerSecond > 0) {
            const uint64_t started = bootNanoseconds + startTicks * (1000000000ULL / uint64_t(ticksPerSecond));
            record.creationTime = started / 100 + unixEpochInFileTime;
        }
        std::string path = withoutDeletedMark(readLink(folder + "/exe"));
        if (path.empty()) {
            // Kernel threads and other users' processes: only the name is readable.
            path = readFile(folder + "/comm");
            while (!path.empty() && path.back() == '\n')
                path.pop_back();
        }
        record.imagePath = utf8ToWide(path);
        if (!filter || filter(record))
            list.push_back(record);
    }
    closedir(proc);
    return list;
}

// The real user id from /proc/<pid>/status ("Uid:\treal\teffective..."),
// the user the process was started for.
bool runsAsCurrentUser(uint32_t processId)
{
    const std::string status = readFile("/proc/" + std::to_string(processId) + "/status");
    const std::string::size_type line = status.find("\nUid:");
    if (line == std::string::npos)
        return false; // ended since it was listed
    const unsigned long uid = std::strtoul(status.c_str() + line + 5, nullptr, 10);
    return uid == getuid();
}

// Linux tokens hold no switchable privileges; nothing is adjusted.
bool enablePrivilege(const wchar_t*, ProcessHandle, bool)
{
    return false;
}

ModuleHandle currentModule()
{
    static void* const program = dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
    return program;
}

std::wstring moduleFileName(ModuleHandle module)
{
    if (module) {
        link_map* map = nullptr;
        if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map)
            return {};
        if (map->l_name && *map->l_name)
            return utf8ToWide(map->l_name);
    }
    // The program's own link map carries no name.
    return utf8ToWide(withoutDeletedMark(readLink("/proc/self/exe")));
}

void setCurrentThreadDescription(const wchar_t* description)
{
    // Naming the main thread would rename the process itself (the name ps shows).
    if (!description || gettid() == getpid())
        return;
    // The kernel keeps 15 bytes; cut at a character boundary.
    std::string name = wideToUtf8(description);
    if (name.size() > 15) {
        std::string::size_type cut = 15;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    pthread_setname_np(pthread_self(), name.c_str());
}

bool isWindows32Bit()
{
    static const bool is32Bit = [] {
        if (sizeof(void*) == 8)
            return false; // a 64-bit program runs on a 64-bit system only
        utsname system{};
        if (uname(&system) != 0)
            return true;
        const std::string machine = system.machine;
        return machine.find("64") == std::string::npos;
    }();
    return is32Bit;
}

} // namespace ProcessHelpers
