#include "RunningDownload.h"

#include "QFileDownloader.h"

#include <chrono>

bool RunningDownload::begin(QFileDownloader* downloader, const std::atomic<bool>& cancelled)
{
    std::lock_guard<std::mutex> lock(mutex);
    current = downloader;
    // The canceller sets the flag before it takes the lock: either it sees
    // this downloader and aborts it, or the flag is visible here.
    return !cancelled.load();
}

void RunningDownload::end()
{
    std::lock_guard<std::mutex> lock(mutex);
    current = nullptr;
}

void RunningDownload::abort()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (current)
        current->abort();
}

void RunningDownload::abortAndWait(std::future<void>& job)
{
    if (!job.valid())
        return;
    do
        abort();
    while (job.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready);
}
