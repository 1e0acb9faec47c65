#pragma once

#include <functional>
#include <future>

// Runs `job` on a thread of its own, as std::async(std::launch::async) would,
// and returns the future that is ready once the job has returned. The thread
// is a QThread, not one of the threads library's (std::thread, std::async): on
// Windows such a thread frees its thread-local storage as its function
// returns, before the loader's per-thread detach, where modules that keep
// their own list of thread_local destructors run it (the C++ runtime's list
// is ordered by core_qt/platform/ThreadLocalCleanup_win.cpp).
std::future<void> startWorkerThread(std::function<void()> job);
