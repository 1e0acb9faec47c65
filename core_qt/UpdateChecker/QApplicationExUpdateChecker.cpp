// The application's side of the update service: making the checker and its
// teardown, kept with the service so that the framework needs no link to it.
#include "QApplicationEx.h"

#include "QUpdateChecker.h"

namespace {

void stopAndDelete(QUpdateChecker* checker)
{
    checker->stop();
    checker->runPendingInstaller();
    delete checker;
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
