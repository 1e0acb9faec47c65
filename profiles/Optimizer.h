#pragma once

#include <QFuture>
#include <QObject>

#include <atomic>
#include <vector>

class BrowserProfile;

// Compacts every database of a list of profiles, one file after the other, as
// one job on the global thread pool. All signals are emitted on the pool
// thread; receivers take them queued.
class Optimizer : public QObject
{
    Q_OBJECT

public:
    explicit Optimizer(QObject* parent = nullptr);
    ~Optimizer() override;

    // Does nothing while a run is going on. The profiles must stay alive and
    // untouched until finished() arrives.
    void start(const std::vector<BrowserProfile*>& profiles);
    bool isRunning() const;
    // Returns at once; the run stops before the next file. The current VACUUM
    // sees the request only while SQLite builds the compacted copy (roughly the
    // first third of its work); later it finishes that file, which ends up
    // compacted and never damaged.
    void requestStop();
    void waitForFinished();

signals:
    void logLine(const QString& text, bool bold);
    void progressRangeChanged(int maximumKb);
    void progressChanged(int valueKb);
    void finished(bool cancelled, bool fatalError);

private:
    void run(std::vector<BrowserProfile*> profiles);
    // False when a locked file ends the run; `sizeAfter` is the profile's
    // size once its files have had their turn.
    bool optimizeProfile(BrowserProfile* profile, qint64& sizeAfter);

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};
    int processedKb = 0;
    QFuture<void> future;
};
