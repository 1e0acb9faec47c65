#include "Optimizer.h"

#include "BrowserProfile.h"
#include "DatabaseFiles.h"
#include "QtHelpers.h"
#include "VisibleText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

Optimizer::Optimizer(QObject *parent)
    : QObject(parent)
{
}

Optimizer::~Optimizer()
{
    waitForFinished();
}

void Optimizer::start(const std::vector<BrowserProfile *> &profiles)
{
    if (running.exchange(true))
        return;
    stopRequested.exchange(false);
    processedKb = 0;
    future = QtConcurrent::run(QThreadPool::globalInstance(), [this, profiles] { run(profiles); });
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

void Optimizer::run(std::vector<BrowserProfile *> profiles)
{
    QElapsedTimer clock;
    clock.start();

    qint64 totalBefore = 0;
    qsizetype fileCount = 0;
    for (BrowserProfile *profile : profiles) {
        totalBefore += profile->totalSize();
        fileCount += profile->databases().size();
    }

    emit logLine(QStringLiteral("Starting optimization"), true);
    emit progressRangeChanged(int(totalBefore / 1024));

    bool fatalError = false;
    for (BrowserProfile *profile : profiles) {
        if (stopRequested.load())
            break;
        const qint64 sizeBefore = profile->totalSize();
        if (!optimizeProfile(profile)) {
            fatalError = true;
            break;
        }
        if (stopRequested.load())
            break;
        if (profiles.size() > 1) {
            emit logLine(QStringLiteral("Optimized %1 files, new size: %2 (was %3)")
                             .arg(profile->databases().size())
                             .arg(formatSize(profile->totalSize()), formatSize(sizeBefore)),
                         false);
        }
    }

    const bool cancelled = stopRequested.load();
    if (cancelled) {
        emit logLine(QStringLiteral("Operation terminated"), true);
    } else if (fatalError) {
        emit logLine(QStringLiteral("Operation not completed"), true);
    } else {
        qint64 totalAfter = 0;
        for (BrowserProfile *profile : profiles)
            totalAfter += profile->totalSize();
        emit logLine(QStringLiteral("Total: optimized %1 files, new size: %2 (was %3)")
                         .arg(fileCount)
                         .arg(formatSize(totalAfter), formatSize(totalBefore)),
                     false);
        emit logLine(QStringLiteral("Completed in %1 seconds")
                         .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2),
                     true);
    }

    running.exchange(false);
    emit finished(cancelled, fatalError);
}

bool Optimizer::optimizeProfile(BrowserProfile *profile)
{
    emit logLine(QStringLiteral("Optimizing %1").arg(profile->displayName()), true);
    emit logLine(QStringLiteral("Path: %1").arg(visibleText(QDir::toNativeSeparators(profile->path))), false);

    const QStringList files = profile->databases();
    for (const QString &line : profile->listingProblems())
        emit logLine(line, false);
    if (!profile->folderError.isEmpty())
        return true;
    if (files.isEmpty()) {
        emit logLine(QStringLiteral("No databases found in this profile"), false);
        return true;
    }

    for (const QString &file : files) {
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
            emit logLine(QStringLiteral("Error: the file is locked, %1 seems to be still running")
                             .arg(profile->programName()),
                         false);
            break;
        case VacuumStatus::Ok:
            break;
        }

        processedKb += fileKb;
        emit progressChanged(processedKb);
        if (result.isFatal())
            return false;
    }
    return true;
}
