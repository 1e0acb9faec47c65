#pragma once

#include "RunningDownload.h"

#include <QByteArray>
#include <QDateTime>
#include <QPointer>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace spdlog {
class logger;
}

class AvailableUpdate;
class LanguageTable;
class QObject;
class QUpdateChecker;

// One look-up of the update feed on a thread of its own. It works on copies
// of all it needs, so that the checker can abandon it at any moment without
// waiting for it: an abandoned job runs to its end in the background and
// reports nothing.
class UpdateCheckJob
{
public:
    enum Reason { NoNewerVersion = 0, RequestFailed = 1, EmptyFeed = 2, UnparsableFeed = 3 };

    // What the job starts from, copied from the checker on the GUI thread.
    struct Request
    {
        QString feedUrl;
        QString userAgent;
        QDateTime feedLastModified;
        QByteArray cachedFeed;
        QString skipVersion;
        QString currentVersion;
        // A copy of the checker's table: the application may delete its own
        // while an abandoned job still parses.
        std::shared_ptr<const LanguageTable> language;
        std::shared_ptr<spdlog::logger> logger;
        // Only named in the parsed feed, never used by the job.
        QUpdateChecker* checker = nullptr;
        // The user asked for this check; it carries its mode to the report.
        bool manual = false;
    };

    explicit UpdateCheckJob(Request request);
    ~UpdateCheckJob();

    // Runs the job on a new thread; `report` is called on `receiver`'s thread
    // when it has ended, unless the job was abandoned or the receiver is gone.
    static std::shared_ptr<UpdateCheckJob> start(Request request, QObject* receiver,
                                                 std::function<void(std::shared_ptr<UpdateCheckJob>)> report);

    // Stops the job's request and drops its report; returns at once.
    void abandon();
    bool isAbandoned() const { return abandoned.load(); }

    // Jobs of the process whose thread has not ended yet, abandoned or not.
    static int runningThreads();
    // Waits up to `limit` for every job's thread to end; false when one still
    // runs. Only for the process's teardown: nothing else waits for a job.
    static bool waitForThreads(std::chrono::milliseconds limit);

    const Request request;

    // The outcome, for the report.
    Reason reason = NoNewerVersion;
    bool found = false;
    int networkError = 0;
    QString errorText;
    // The parsed feed when one could be used, with the table it was parsed with.
    std::unique_ptr<AvailableUpdate> update;
    // A full reply that could be used: the feed to keep for the next 304.
    QByteArray newFeed;
    QDateTime newLastModified;

private:
    void run();
    void deliver();

    std::atomic<bool> abandoned{false};
    RunningDownload runningDownload;
    // Guards the receiver against the checker going away while the report is posted.
    std::mutex reportMutex;
    QObject* receiver = nullptr;
    std::function<void(std::shared_ptr<UpdateCheckJob>)> report;
    std::weak_ptr<UpdateCheckJob> self;
};
