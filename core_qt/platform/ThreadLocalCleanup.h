#pragma once

// Windows only. Runs by itself before the static initializers of every
// program that links the platform layer, which carries it as an object;
// calling it again does nothing.
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
void orderThreadLocalCleanup();
