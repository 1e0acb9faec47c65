// Preloaded into the real program by the crash-run tests (LD_PRELOAD): the
// first folder listing on a pool thread crashes the way QUORBILAN_TEST_CRASH
// says. "wild" calls through a pointer to memory that holds no code,
// "overflow" recurses until the thread's stack is gone, "abort" and "qfatal"
// end the program the way its own checks do.
#include <QtGlobal>

#include <dirent.h>
#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <cstring>

namespace {

using Function = void (*)();
Function volatile wild = reinterpret_cast<Function>(0xdead0000ul);

// Never reached: the stack runs out long before.
volatile int lastDepth = -1;

__attribute__((noinline)) int recurse(int depth)
{
    volatile char frame[4096];
    frame[0] = char(depth);
    if (depth == lastDepth)
        return 0;
    return recurse(depth + 1) + frame[0];
}

bool onPoolThread()
{
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return std::strcmp(name, "Thread (pooled)") == 0;
}

} // namespace

extern "C" DIR* opendir(const char* path)
{
    using Open = DIR* (*)(const char*);
    static const Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "opendir"));
    const char* mode = std::getenv("QUORBILAN_TEST_CRASH");
    if (mode && onPoolThread()) {
        if (std::strcmp(mode, "wild") == 0)
            wild();
        else if (std::strcmp(mode, "overflow") == 0)
            recurse(0);
        else if (std::strcmp(mode, "abort") == 0)
            std::abort();
        else if (std::strcmp(mode, "qfatal") == 0)
            qFatal("crash hooks: a fatal error");
    }
    return real(path);
}
