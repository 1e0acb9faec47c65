#include "QUpdateChecker.h"

#include "AppSettings.h"
#include "AvailableUpdate.h"
#include "LanguageTable.h"
#include "OsVersion.h"
#include "QDownloadProgressDlg.h"
#include "QFileDownloader.h"
#include "QMessageBoxEx.h"
#include "QUpdatesDialog.h"
#include "UpdateCheckJob.h"
#include "UpdateInstaller.h"
#include "UpdateLog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <limits>

const QString SettingUpdateCheckerAuto = declareSettingKey("UpdateChecker_Auto");
const QString SettingUpdateCheckerNextCheck = declareSettingKey("UpdateChecker_NextCheck");
const QString SettingUpdateCheckerSkipVersion = declareSettingKey("UpdateChecker_SkipVersion");

namespace {

const char checkFunction[] = "QUpdateChecker::checkForUpdate";

} // namespace

QUpdateChecker::QUpdateChecker(const QString& feedUrl, const QString& appName, const QString& version,
                               AppSettings* settings, LanguageTable* languageTable, QObject* parent,
                               QWidget* mainWindow)
    : QObject(parent)
    , settings(settings)
    , languageTable(languageTable)
    , mainWindow(mainWindow)
    , appName(appName)
    , feedUrl(feedUrl)
    , currentVersion(version)
{
    availableUpdate = new AvailableUpdate(this, currentVersion, languageTable);

    timer = new QTimer(this);
    timer->setSingleShot(true);
    // The outcomes are not connected to their slots: each check's report
    // acts on them in its own mode.
    connect(timer, &QTimer::timeout, this, &QUpdateChecker::slotCheckForUpdate);

    if (settings) {
        settings->registerValueInt(SettingUpdateCheckerAuto, 1);
        settings->registerValueDateTime(SettingUpdateCheckerNextCheck, QDateTime());
        settings->registerValueString(SettingUpdateCheckerSkipVersion, QString());
    }

    userAgent = QString("%1 %2/%3").arg(appName, version, osDescription());
}

QUpdateChecker::~QUpdateChecker()
{
    // A job left running must not report into a checker that is gone.
    abandonCheck();
    delete availableUpdate;
}

QString QUpdateChecker::translate(const char* key) const
{
    const QString path = QString::fromLatin1(key);
    return languageTable ? languageTable->translate(path) : path;
}

bool QUpdateChecker::isChecking() const
{
    return job != nullptr;
}

bool QUpdateChecker::isManualCheckRunning() const
{
    return job && job->request.manual;
}

void QUpdateChecker::checkForUpdate(bool force, int intervalHours)
{
    UPDATE_LOG(logger, spdlog::level::info, checkFunction, "UpdateChecker: check, force = {}, os version = {}", force,
               osVersionName().toStdString());
    if (openDialog)
        return;
    if (isChecking()) {
        // The user's check must get an answer: one of the schedule is left to
        // run on alone, and the user's own runs in its place. The user's own
        // is answered already: a second click does not start it again.
        if (!force || isManualCheckRunning())
            return;
        abandonCheck();
    }

    skipVersion = settings->valueString(SettingUpdateCheckerSkipVersion);
    if (timer->isActive())
        timer->stop();

    int interval = intervalHours;
    if (force) {
        interval = this->intervalHours;
        nextCheck = QDateTime();
        settings->setValueDateTime(SettingUpdateCheckerNextCheck, nextCheck);
        skipVersion.clear();
        settings->setValueString(SettingUpdateCheckerSkipVersion, skipVersion);
    }

    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime stored = settings->valueDateTime(SettingUpdateCheckerNextCheck);
    if (stored.isValid() && stored > now) {
        nextCheck = stored;
        // No check is ever planned further ahead than one interval: a later
        // time comes from a clock that was wrong or a hand-edited setting,
        // and believing it could stop the checks for good.
        const QDateTime latest = now.addSecs(qint64(interval) * 3600);
        if (interval > 0 && nextCheck > latest) {
            nextCheck = latest;
            settings->setValueDateTime(SettingUpdateCheckerNextCheck, nextCheck);
        }
    } else {
        nextCheck = QDateTime();
        settings->setValueDateTime(SettingUpdateCheckerNextCheck, nextCheck);
    }

    // The initial delay is for the silent check at start-up; the user's own
    // check runs at once.
    qint64 delayMs = 0;
    if (firstCheck && initialDelaySec != 0 && !force)
        delayMs = qint64(initialDelaySec) * 1000;
    if (nextCheck.isValid())
        delayMs = now.msecsTo(nextCheck);

    this->intervalHours = interval;

    const bool first = firstCheck;
    firstCheck = false;
    // The user's check starts here, in its own mode; the timer starts only
    // checks of the schedule. A first call that is not forced waits for the
    // user's consent to automatic checks.
    if (force)
        startCheck(true);
    else if (!first || isAutoCheckEnabled())
        startTimerIn(delayMs);
}

void QUpdateChecker::startTimerIn(qint64 ms)
{
    // A stored time weeks ahead does not fit the timer's int: wait as long as
    // it can: the check then runs early rather than at a wrapped time.
    const qint64 limit = std::numeric_limits<int>::max();
    timer->start(int(qBound<qint64>(0, ms, limit)));
}

void QUpdateChecker::setIntervalHours(int hours)
{
    intervalHours = hours;
}

void QUpdateChecker::setSilent(bool silent)
{
    showUpdateDialog = !silent;
}

void QUpdateChecker::setSilentMessages(bool silent)
{
    showMessages = !silent;
}

bool QUpdateChecker::isAutoCheckEnabled() const
{
    return settings && settings->valueInt(SettingUpdateCheckerAuto) == 1;
}

void QUpdateChecker::setAutoCheck(bool on)
{
    if (settings)
        settings->setValueInt(SettingUpdateCheckerAuto, on ? 1 : 0);
}

void QUpdateChecker::scheduleNextCheck()
{
    nextCheck = QDateTime::currentDateTime().addSecs(qint64(intervalHours) * 3600);
    settings->setValueDateTime(SettingUpdateCheckerNextCheck, nextCheck);
}

void QUpdateChecker::remindLater()
{
    remindingLater = true;
    scheduleNextCheck();
    restartTimer();
    remindingLater = false;
}

void QUpdateChecker::restartTimer()
{
    if (intervalHours != 0 && (isAutoCheckEnabled() || remindingLater))
        startTimerIn(qint64(intervalHours) * 3600 * 1000);
}

void QUpdateChecker::slotCheckForUpdate()
{
    // The job's report replaces the feed that an open dialog reads.
    if (openDialog || isChecking())
        return;
    startCheck(false);
}

void QUpdateChecker::startCheck(bool manual)
{
    UpdateCheckJob::Request request;
    request.feedUrl = feedUrl;
    request.userAgent = userAgent;
    request.feedLastModified = feedLastModified;
    request.cachedFeed = cachedFeed;
    request.skipVersion = skipVersion;
    request.currentVersion = currentVersion;
    if (languageTable)
        request.language = std::make_shared<const LanguageTable>(*languageTable);
    request.logger = logger;
    request.checker = this;
    request.manual = manual;
    job = UpdateCheckJob::start(std::move(request), this,
                                [this](std::shared_ptr<UpdateCheckJob> finished) { takeReport(std::move(finished)); });
    if (manual)
        emit manualCheckRunning(true);
}

void QUpdateChecker::abandonCheck()
{
    if (!job)
        return;
    const bool manual = job->request.manual;
    job->abandon();
    job.reset();
    if (manual)
        emit manualCheckRunning(false);
}

void QUpdateChecker::takeReport(std::shared_ptr<UpdateCheckJob> finished)
{
    // A report of a job abandoned after it had posted it.
    if (!finished || finished != job)
        return;
    job.reset();
    const bool manual = finished->request.manual;
    if (manual)
        emit manualCheckRunning(false);

    if (!finished->newFeed.isEmpty()) {
        cachedFeed = finished->newFeed;
        if (finished->newLastModified.isValid())
            feedLastModified = finished->newLastModified;
    }
    if (finished->update) {
        delete availableUpdate;
        availableUpdate = finished->update.release();
        feedLanguage = finished->request.language;
    }

    if (finished->found) {
        const QString version = availableUpdate->newestVersionName();
        emit updateAvailable(version);
        if (manual || showUpdateDialog)
            showUpdatesDialog(mainWindow);
    } else {
        emit updateNotAvailable(finished->reason, finished->networkError, finished->errorText);
        showNotAvailable(finished->reason, finished->networkError, finished->errorText, manual || showMessages);
    }
}

void QUpdateChecker::slotUpdateNotAvailable(int nReason, int nNetworkError, QString extendedErrorMessage)
{
    showNotAvailable(nReason, nNetworkError, extendedErrorMessage, showMessages);
}

void QUpdateChecker::showNotAvailable(int nReason, int nNetworkError, const QString& extendedErrorMessage,
                                      bool messages)
{
    if (messages) {
        switch (nReason) {
        case UpdateCheckJob::NoNewerVersion:
            slotShowErrorMessage(
                QString("<b>%1</b>").arg(translate("core/UpdateChecker/MessageNoUpdateAvailable")),
                translate("core/UpdateChecker/MessageNoUpdateAvailableDescription").arg(appName, currentVersion),
                appIcon);
            break;
        case UpdateCheckJob::RequestFailed: {
            QString informative = networkErrorName(nNetworkError);
            if (!extendedErrorMessage.isEmpty())
                informative += QStringLiteral(": ") + extendedErrorMessage;
            slotShowErrorMessage(translate("core/UpdateChecker/MessageErrorConnect"), informative, QIcon());
            break;
        }
        default:
            slotShowErrorMessage(translate("core/UpdateChecker/MessageErrorParse"), QString(), QIcon());
            break;
        }
    }
    scheduleNextCheck();
    restartTimer();
}

void QUpdateChecker::slotShowErrorMessage(QString errMsg, QString informativeText, QIcon customIcon)
{
    if (!mainWindow)
        return;
    QMessageBoxEx box(mainWindow->isVisible() ? mainWindow : nullptr);
    box.setIcon(QMessageBox::Warning);
    box.setText(errMsg);
    box.setInformativeText(informativeText);
    // The informative text carries addresses and server replies: text, never markup.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    box.setAttribute(Qt::WA_QuitOnClose, false);
    if (!customIcon.isNull())
        box.setIconPixmap(customIcon.pixmap(64, 64, QIcon::Normal, QIcon::Off));
    box.setWindowFlags(box.windowFlags() ^ Qt::WindowContextHelpButtonHint);
    box.setWindowTitle(appName);
    if (!box.parent())
        box.setWindowIcon(!this->customIcon.isNull() ? this->customIcon : appIcon);
    openDialog = &box;
    box.exec();
    openDialog = nullptr;
}

void QUpdateChecker::slotShowErrorMessage(QString errMsg, QString informativeText)
{
    slotShowErrorMessage(errMsg, informativeText, QIcon());
}

void QUpdateChecker::slotUpdateAvailable(QString)
{
    if (showUpdateDialog)
        showUpdatesDialog(mainWindow);
}

void QUpdateChecker::showUpdatesDialog(QWidget* parent)
{
    if (parent && !parent->isVisible())
        parent = nullptr;

    int result = 0;
    {
        QUpdatesDialog dialog(this, parent);
        dialog.setModal(true);
        openDialog = &dialog;
        result = dialog.exec();
        openDialog = nullptr;
    }

    switch (result) {
    case 0:
        remindLater();
        break;
    case 1:
        skipVersion = availableUpdate->newestVersionName();
        settings->setValueString(SettingUpdateCheckerSkipVersion, skipVersion);
        emit versionSkipped(skipVersion);
        restartTimer();
        break;
    case 2: {
        QDownloadProgressDlg dialog(this, parent);
        dialog.setModal(true);
        openDialog = &dialog;
        const int downloadResult = dialog.exec();
        openDialog = nullptr;
        if (downloadResult == 0) {
            remindLater();
        } else if (downloadResult == 2) {
            const QString errorText = dialog.errorText;
            QTimer::singleShot(0, this, [this, errorText] {
                slotShowErrorMessage(QCoreApplication::applicationName(), errorText, QIcon());
            });
        }
        break;
    }
    default:
        break;
    }
    openDialog = nullptr;
}

void QUpdateChecker::stop()
{
    if (openDialog) {
        openDialog->close();
        openDialog = nullptr;
    }
    timer->stop();
    // The quit waits for nothing: the job's request is aborted and whatever
    // it still does ends with the process.
    abandonCheck();
}

void QUpdateChecker::installAndQuit()
{
    updateInstaller->armAndQuit();
}

void QUpdateChecker::runPendingInstaller()
{
    updateInstaller->runIfArmed(availableUpdate->isTmpInstall());
}
