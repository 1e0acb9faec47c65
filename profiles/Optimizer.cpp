#include "Optimizer.h"

#include "BrowserProfile.h"
#include "CrashHandler.h"
#include "DatabaseFiles.h"
#include "QtHelpers.h"
#include "VisibleText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

Optimizer::Optimizer(QObject* parent)
    : QObject(parent)
{
}

Optimizer::~Optimizer()
{
    waitForFinished();
}

void Optimizer::start(const std::vector<BrowserProfile*>& profiles)
{
    if (running.exchange(true))
        return;
    stopRequested.exchange(false);
    processedKb = 0;
    future = QtConcurrent::run(QThreadPool::globalInstance(), [this, profiles] {
        CrashHandler::prepareThread();
        run(profiles);
    });
}

bool Optimizer::isRunning() const
{
    return running.load();
}

void Optimizer::requestStop()
{
    stopRequested.exchange(true);
}

void Optimizer::waitForFinished()
{
    if (future.isRunning())
        future.waitForFinished();
}

void Optimizer::run(std::vector<BrowserProfile*> profiles)
{
    QElapsedTimer clock;
    clock.start();

    // Read afresh: the lists may have been made long before this run. Each
    // profile's part is its size before: nothing touches its files until its
    // turn.
    qint64 totalBefore = 0;
    qsizetype fileCount = 0;
    std::vector<qint64> sizesBefore;
    for (BrowserProfile* profile : profiles) {
        sizesBefore.push_back(profile->readTotalSize());
        totalBefore += sizesBefore.back();
        fileCount += profile->databases().size();
    }

    emit logLine(QStringLiteral("Starting optimization"), true);
    emit progressRangeChanged(int(totalBefore / 1024));

    bool fatalError = false;
    qint64 totalAfter = 0;
    for (size_t i = 0; i < profiles.size(); ++i) {
        BrowserProfile* profile = profiles[i];
        if (stopRequested.load())
            break;
        qint64 sizeAfter = 0;
        if (!optimizeProfile(profile, sizeAfter)) {
            fatalError = true;
            break;
        }
        if (stopRequested.load())
            break;
        totalAfter += sizeAfter;
        if (profiles.size() > 1) {
            emit logLine(QStringLiteral("Optimized %1 files, new size: %2 (was %3)")
                             .arg(profile->databases().size())
                             .arg(formatSize(sizeAfter), formatSize(sizesBefore[i])),
                         false);
        }
    }

    const bool cancelled = stopRequested.load();
    if (cancelled) {
        emit logLine(QStringLiteral("Operation terminated"), true);
    } else if (fatalError) {
        emit logLine(QStringLiteral("Operation not completed"), true);
    } else {
        emit logLine(QStringLiteral("Total: optimized %1 files, new size: %2 (was %3)")
                         .arg(fileCount)
                         .arg(formatSize(totalAfter), formatSize(totalBefore)),
                     false);
        emit logLine(QStringLiteral("Completed in %1 seconds").arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2), true);
    }

    running.exchange(false);
    emit finished(cancelled, fatalError);
}

bool Optimizer::optimizeProfile(BrowserProfile* profile, qint64& sizeAfter)
{
    emit logLine(QStringLiteral("Optimizing %1").arg(profile->displayName()), true);
    emit logLine(QStringLiteral("Path: %1").arg(visibleText(QDir::toNativeSeparators(profile->path))), false);

    const QStringList files = profile->databases();
    for (const QString& line : profile->listingProblems())
        emit logLine(line, false);
    if (!profile->folderError.isEmpty())
        return true;
    if (files.isEmpty()) {
        emit logLine(QStringLiteral("No databases found in this profile"), false);
        return true;
    }

    // The size of each file after its turn: the profile's sizes now, kept for
    // its next total.
    QList<qint64> sizesAfter;
    sizesAfter.reserve(files.size());
    for (const QString& file : files) {
        if (stopRequested.load())
            return true;
        emit logLine(QStringLiteral("%1...").arg(visibleText(QFileInfo(file).fileName())), false);

        const VacuumResult result = vacuumDatabase(file, &stopRequested);
        const int fileKb = int(qMax<qint64>(result.sizeBefore, 0) / 1024);
        switch (result.status) {
        case VacuumStatus::Cancelled:
            return true;
        case VacuumStatus::NotADatabase:
            emit logLine(QStringLiteral("Warning: the file is encrypted or not a valid database"), false);
            break;
        case VacuumStatus::Error:
            emit logLine(QStringLiteral("Error: %1").arg(result.message), false);
            break;
        case VacuumStatus::Busy:
        case VacuumStatus::CannotOpen:
            emit logLine(
                QStringLiteral("Error: the file is locked, %1 seems to be still running").arg(profile->programName()),
                false);
            break;
        case VacuumStatus::Ok:
            break;
        }

        const qint64 size = QFileInfo(file).size(); // 0 for a file that is gone
        sizesAfter.append(size);
        sizeAfter += size;
        processedKb += fileKb;
        emit progressChanged(processedKb);
        if (result.isFatal())
            return false;
    }
    profile->keepSizes(sizesAfter);
    return true;
}
