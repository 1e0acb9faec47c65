#pragma once

#include <QFuture>
#include <QObject>

#include <atomic>

class AppSettings;
class BrowsersList;

// Runs the whole profile discovery as one job on the global thread pool.
// While it runs, nobody else may touch the programs list or write the settings.
class ProfilesLoader : public QObject
{
    Q_OBJECT

public:
    explicit ProfilesLoader(QObject* parent = nullptr);
    // Waits for a running job.
    ~ProfilesLoader() override;

    // Does nothing while a job runs; returns at once. Neither pointer is owned.
    void start(BrowsersList* list, AppSettings* settings);
    bool isRunning() const;
    void waitForFinished();

signals:
    // Emitted on the pool thread, once per job, after isRunning() turned false.
    void finished();

private:
    void load(BrowsersList* list, AppSettings* settings);

    std::atomic<bool> running{false};
    QFuture<void> future;
};
