// Linked as an object into every program that links the platform layer, and
// run before the program's static initializers: nothing calls it.
//
// With mingw-w64 the threads library ends each thread with per-thread
// cleanups run in the order their keys were made in the process: one frees
// the thread's emulated thread-local storage, one is the C++ runtime DLL's
// list of thread_local destructors, which Qt's DLLs register with. The
// storage's key is made by the first thread_local access anywhere, so left
// alone it comes first and every thread that ends destroys the toolkit's
// per-thread objects (its regular-expression stack among them) from freed
// memory. On a QThread that runs inside the loader's detach notification,
// which swallows the fault and leaves the threads library's key lock held:
// the process then hangs for good in the runtime's unload as it exits. This
// makes the runtime's key first. (glibc destroys before it frees: Linux
// needs nothing of the kind.)
#include <windows.h>

namespace {

using Destructor = void (*)(void*);
using ThreadAtExit = int (*)(Destructor, void*, void*);

// Registered once on the main thread; its destructor has nothing to do.
char registration;

void nothingToDestroy(void*) { }

// Ahead of the program's other static initializers, which may already touch
// thread_local objects and so make the storage's key.
[[gnu::constructor(101)]] void orderThreadLocalCleanup()
{
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

} // namespace
