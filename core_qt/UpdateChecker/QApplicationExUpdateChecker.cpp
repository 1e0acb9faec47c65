// The application's side of the update service: making the checker and its
// teardown, kept with the service so that the framework needs no link to it.
#include "QApplicationEx.h"

#include "QUpdateChecker.h"
#include "UpdateCheckJob.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// How long the quit lets an abandoned check wind down: an aborted request
// ends in moments, a check stuck in the system does not.
constexpr std::chrono::milliseconds abandonedCheckGrace{1500};

void stopAndDelete(QUpdateChecker* checker, int exitCode)
{
    checker->stop();
    checker->runPendingInstaller();
    delete checker;
    // A check still running would race the toolkit's teardown, which
    // follows now: the process ends here instead. Settings are written as
    // they change, so nothing is lost.
    if (!UpdateCheckJob::waitForThreads(abandonedCheckGrace)) {
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
}

} // namespace

QUpdateChecker* QApplicationEx::createUpdateChecker(QWidget* mainWindow, const QString& feedUrl, const QString& appName,
                                                    const QString& version, const QIcon& customIcon,
                                                    const QIcon& appIcon)
{
    auto* checker = new QUpdateChecker(feedUrl, appName, version, settings, languageTable, this, mainWindow);
    if (updateChecker) {
        updateChecker->stop();
        delete updateChecker;
    }
    updateChecker = checker;
    releaseUpdateChecker = stopAndDelete;
    checker->appIcon = appIcon;
    if (!customIcon.isNull())
        checker->customIcon = customIcon;
    return checker;
}
