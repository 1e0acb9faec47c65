#pragma once

#include <functional>
#include <future>

// Runs `job` on a thread of its own, as std::async(std::launch::async) would,
// and returns the future that is ready once the job has returned. The thread
// is a QThread: on Windows a thread from std::thread/std::async (winpthreads)
// frees its emulated thread-local storage before the destructors of the
// thread_local objects in the DLLs run, so Qt's own per-thread objects would
// be destroyed from freed memory when such a thread ends.
std::future<void> startWorkerThread(std::function<void()> job);
