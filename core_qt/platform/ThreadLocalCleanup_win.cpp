#include "ThreadLocalCleanup.h"

#include <windows.h>

namespace {

using Destructor = void (*)(void*);
using ThreadAtExit = int (*)(Destructor, void*, void*);

// Registered once on the main thread; its destructor has nothing to do.
char registration;

void nothingToDestroy(void*) { }

// Ahead of the program's other static initializers, which may already touch
// thread_local objects and so make the storage's key.
[[gnu::constructor(101)]] void orderBeforeStaticInitializers()
{
    orderThreadLocalCleanup();
}

} // namespace

void orderThreadLocalCleanup()
{
    static bool ordered = false;
    if (ordered)
        return;
    ordered = true;
    // The registry of the C++ runtime DLL, which the toolkit's DLLs use; the
    // program's own code registers with the copy in its startup code, which
    // keeps no key. The runtime makes its key on the first registration. A
    // program linked with the runtime built in has no such DLL and nothing
    // to order.
    const HMODULE runtime = GetModuleHandleW(L"libstdc++-6.dll");
    if (!runtime)
        return;
    const auto threadAtExit
        = reinterpret_cast<ThreadAtExit>(reinterpret_cast<void*>(GetProcAddress(runtime, "__cxa_thread_atexit")));
    if (threadAtExit)
        threadAtExit(nothingToDestroy, &registration, nullptr);
}
