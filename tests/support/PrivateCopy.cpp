#include "PrivateCopy.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

const char* const privateCopyVariable = "QUORBILAN_TEST_PRIVATE_COPY";

namespace fs = std::filesystem;

bool copyInto(const fs::path& program, const fs::path& folder)
{
    std::error_code error;
    fs::copy_file(program, folder / program.filename(), error);
    if (error)
        std::fprintf(stderr, "cannot copy %s into %s: %s\n", program.c_str(), folder.c_str(), error.message().c_str());
    return !error;
}

int runCopy(const fs::path& copy, char** argv)
{
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        // A runner that gives up on this test (a time-out) kills only us: the
        // copy must not hang on alone.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(1);
        setenv(privateCopyVariable, "1", 1);
        execv(copy.c_str(), argv);
        std::perror("execv");
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror("waitpid");
            return 1;
        }
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

} // namespace

int rerunFromPrivateCopy(char** argv, std::initializer_list<const char*> companions)
{
    if (std::getenv(privateCopyVariable))
        return -1;

    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        std::fprintf(stderr, "cannot find this program's file: %s\n", error.message().c_str());
        return 1;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/private-copy-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a private folder %s: %s\n", pattern.c_str(), std::strerror(errno));
        return 1;
    }
    const fs::path folder = pattern;

    int code = 1;
    bool copied = copyInto(self, folder);
    for (const char* companion : companions)
        copied = copied && copyInto(companion, folder);
    if (copied)
        code = runCopy(folder / self.filename(), argv);
    fs::remove_all(folder, error);
    return code;
}
