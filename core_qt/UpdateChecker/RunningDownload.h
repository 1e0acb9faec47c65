#pragma once

#include <atomic>
#include <future>
#include <mutex>

class QFileDownloader;

// The downloader a worker job is running, shared with the GUI thread so that
// a cancel can abort the request instead of waiting for a server that may
// never answer. The lock keeps the job from deleting the downloader while the
// GUI thread aborts it.
class RunningDownload
{
public:
    // Publishes the job's downloader; false when a cancel came first, and the
    // request must then not start.
    bool begin(QFileDownloader* downloader, const std::atomic<bool>& cancelled);
    // Withdraws it; call before deleting the downloader.
    void end();
    // Aborts the published request, if any; safe from any thread.
    void abort();
    // Aborts until the job has ended: an abort that lands just before the
    // request starts would be lost, and the request might never end.
    void abortAndWait(std::future<void>& job);

private:
    std::mutex mutex;
    QFileDownloader* current = nullptr;
};
