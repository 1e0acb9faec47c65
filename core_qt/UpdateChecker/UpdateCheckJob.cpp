#include "UpdateCheckJob.h"

#include "AvailableUpdate.h"
#include "CrashHandler.h"
#include "LanguageTable.h"
#include "QCompress.h"
#include "QFileDownloader.h"
#include "UpdateLog.h"

#include <QMetaObject>
#include <QObject>

#include <condition_variable>
#include <thread>

namespace {

const char jobFunction[] = "QUpdateChecker::updateCheckThread";

// A feed is a few kilobytes: a body past this on the wire is refused unread.
constexpr qint64 maxFeedBodyBytes = 4 * 1024 * 1024;
// Milliseconds without a byte that end the feed's request.
constexpr int feedTimeoutMs = 30 * 1000;
// Milliseconds the whole feed may take: a server that dribbles never trips the time-out.
constexpr int feedDeadlineMs = 2 * 60 * 1000;

std::atomic<int> threadsRunning{0};
std::mutex threadsMutex;
std::condition_variable threadsEnded;

} // namespace

UpdateCheckJob::UpdateCheckJob(Request request)
    : request(std::move(request))
{
}

UpdateCheckJob::~UpdateCheckJob() = default;

int UpdateCheckJob::runningThreads()
{
    return threadsRunning.load();
}

bool UpdateCheckJob::waitForThreads(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(threadsMutex);
    return threadsEnded.wait_for(lock, limit, [] { return threadsRunning.load() == 0; });
}

std::shared_ptr<UpdateCheckJob> UpdateCheckJob::start(Request request, QObject* receiver,
                                                      std::function<void(std::shared_ptr<UpdateCheckJob>)> report)
{
    auto job = std::make_shared<UpdateCheckJob>(std::move(request));
    job->receiver = receiver;
    job->report = std::move(report);
    job->self = job;
    ++threadsRunning;
    // Detached: nothing ever waits for it; the shared pointer keeps the job
    // alive for as long as its thread needs it.
    std::thread([job] {
        CrashHandler::prepareThread();
        job->run();
        job->deliver();
        std::lock_guard<std::mutex> lock(threadsMutex);
        --threadsRunning;
        threadsEnded.notify_all();
    }).detach();
    return job;
}

void UpdateCheckJob::abandon()
{
    abandoned.exchange(true);
    {
        std::lock_guard<std::mutex> lock(reportMutex);
        receiver = nullptr;
    }
    runningDownload.abort();
}

void UpdateCheckJob::deliver()
{
    std::lock_guard<std::mutex> lock(reportMutex);
    if (abandoned.load() || !receiver)
        return;
    // Posted under the lock: a receiver that goes away takes the lock first
    // and its destruction then drops what was posted to it.
    std::shared_ptr<UpdateCheckJob> job = self.lock();
    QMetaObject::invokeMethod(
        receiver, [report = report, job] { report(job); }, Qt::QueuedConnection);
}

void UpdateCheckJob::run()
{
    std::unique_ptr<QFileDownloader> downloader(createFileDownloader(request.feedUrl, nullptr, request.userAgent));
    if (request.feedLastModified.isValid())
        downloader->ifModifiedSince = request.feedLastModified;
    downloader->maxBodySize = maxFeedBodyBytes;
    downloader->transferTimeoutMs = updateTransferTimeoutMs(feedTimeoutMs);
    downloader->deadlineMs = updateDeadlineMs(feedDeadlineMs);

    UPDATE_LOG(request.logger, spdlog::level::info, jobFunction, "Updater: downloading {} ...",
               request.feedUrl.toStdString());
    if (runningDownload.begin(downloader.get(), abandoned))
        downloader->download();
    runningDownload.end();
    if (abandoned.load())
        return;

    networkError = downloader->networkError;
    errorText = !downloader->sslErrors.isEmpty() ? downloader->sslErrors : downloader->errorString;
    if (downloader->networkError != 0) {
        UPDATE_LOG(request.logger, spdlog::level::warn, jobFunction, "Updater: cannot connect, error {} ({})",
                   downloader->networkError, downloader->errorString.toStdString());
        reason = RequestFailed;
        return;
    }
    if (downloader->bodyTooLarge) {
        // Nothing of it is kept, not even as the cache.
        reason = UnparsableFeed;
        return;
    }

    const bool notModified = downloader->httpStatus == 304;
    const QByteArray body = notModified ? request.cachedFeed : downloader->data;
    QByteArray feed;
    if (!body.isEmpty()) {
        UPDATE_LOG(request.logger, spdlog::level::info, jobFunction, "Updater: done ({} bytes)", body.size());
        feed = QCompress::uncompress(body, QCompress::Gzip);
    }
    if (feed.isEmpty()) {
        reason = EmptyFeed;
        return;
    }
    if (abandoned.load())
        return;

    auto parsed = std::make_unique<AvailableUpdate>(request.checker, request.currentVersion, request.language.get());
    parsed->setLogger(request.logger);
    if (!parsed->fromXML(feed)) {
        reason = UnparsableFeed;
        return;
    }
    // Only a feed that could be used is kept for the next 304.
    if (!notModified) {
        newFeed = body;
        newLastModified = downloader->lastModified;
    }
    found = parsed->newestVersionName() != request.skipVersion && parsed->hasUpdate();
    update = std::move(parsed);
}
