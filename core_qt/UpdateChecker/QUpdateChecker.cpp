#include "QUpdateChecker.h"

#include "AppSettings.h"
#include "AvailableUpdate.h"
#include "CrashHandler.h"
#include "LanguageTable.h"
#include "OsVersion.h"
#include "QCompress.h"
#include "QDownloadProgressDlg.h"
#include "QFileDownloader.h"
#include "QMessageBoxEx.h"
#include "QUpdatesDialog.h"
#include "UpdateInstaller.h"
#include "UpdateLog.h"
#include "WorkerThread.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <limits>

const QString SettingUpdateCheckerAuto = declareSettingKey("UpdateChecker_Auto");
const QString SettingUpdateCheckerNextCheck = declareSettingKey("UpdateChecker_NextCheck");
const QString SettingUpdateCheckerSkipVersion = declareSettingKey("UpdateChecker_SkipVersion");

namespace {

enum NotAvailableReason { NoNewerVersion = 0, RequestFailed = 1, EmptyFeed = 2, UnparsableFeed = 3 };

const char checkFunction[] = "QUpdateChecker::checkForUpdate";

// A feed is a few kilobytes: a body past this on the wire is refused unread.
constexpr qint64 maxFeedBodyBytes = 4 * 1024 * 1024;
// Seconds without a byte that end the feed's request.
constexpr int feedTimeoutMs = 30 * 1000;
const char jobFunction[] = "QUpdateChecker::updateCheckThread";

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
    connect(timer, &QTimer::timeout, this, &QUpdateChecker::slotCheckForUpdate);
    connect(this, &QUpdateChecker::updateNotAvailable, this, &QUpdateChecker::slotUpdateNotAvailable);
    connect(this, &QUpdateChecker::updateAvailable, this, &QUpdateChecker::slotUpdateAvailable);

    if (settings) {
        settings->registerValueInt(SettingUpdateCheckerAuto, 1);
        settings->registerValueDateTime(SettingUpdateCheckerNextCheck, QDateTime());
        settings->registerValueString(SettingUpdateCheckerSkipVersion, QString());
    }

    userAgent = QString("%1 %2/%3").arg(appName, version, osDescription());
}

QUpdateChecker::~QUpdateChecker()
{
    // A checker deleted without stop() must not leave its job writing into it.
    if (checkRunning()) {
        cancelled.exchange(true);
        runningDownload.abortAndWait(checkFuture);
    }
    delete availableUpdate;
}

QString QUpdateChecker::translate(const char* key) const
{
    const QString path = QString::fromLatin1(key);
    return languageTable ? languageTable->translate(path) : path;
}

bool QUpdateChecker::checkRunning() const
{
    return checkFuture.valid() && checkFuture.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void QUpdateChecker::checkForUpdate(bool force, int intervalHours)
{
    UPDATE_LOG(logger, spdlog::level::info, checkFunction, "UpdateChecker: check, force = {}, os version = {}", force,
               osVersionName().toStdString());
    if (openDialog)
        return;
    // A job that has reported its outcome only winds down: the check it ran is over.
    if (checkRunning() && !jobReported.load()) {
        // The user's check must get an answer: one that runs silently is
        // dropped, and the user's own runs in its place.
        if (!force)
            return;
        cancelled.exchange(true);
        runningDownload.abortAndWait(checkFuture);
    }

    skipVersion = settings->valueString(SettingUpdateCheckerSkipVersion);
    manualCheck = false;
    cancelled.exchange(false);
    if (timer->isActive())
        timer->stop();
    manualCheck = force;

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

    // A first call that is not forced waits for the user's consent to
    // automatic checks; a forced one always runs.
    if (!firstCheck || force || isAutoCheckEnabled())
        startTimerIn(delayMs);
    firstCheck = false;
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
    manualCheck = false;
    cancelled.exchange(false);
    if (intervalHours != 0 && (isAutoCheckEnabled() || remindingLater))
        startTimerIn(qint64(intervalHours) * 3600 * 1000);
}

void QUpdateChecker::slotCheckForUpdate()
{
    // The job writes the feed that an open dialog reads.
    if (openDialog || (checkRunning() && !jobReported.load()))
        return;
    // The last job may still be releasing its request after its report.
    if (checkFuture.valid())
        checkFuture.wait();
    jobReported.store(false);
    checkFuture = startWorkerThread([this] {
        CrashHandler::prepareThread();
        updateCheckThread();
    });
}

void QUpdateChecker::updateCheckThread()
{
    std::unique_ptr<QFileDownloader> downloader(createFileDownloader(feedUrl, nullptr, userAgent));
    if (feedLastModified.isValid())
        downloader->ifModifiedSince = feedLastModified;
    downloader->maxBodySize = maxFeedBodyBytes;
    downloader->transferTimeoutMs = updateTransferTimeoutMs(feedTimeoutMs);

    UPDATE_LOG(logger, spdlog::level::info, jobFunction, "Updater: downloading {} ...", feedUrl.toStdString());
    if (runningDownload.begin(downloader.get(), cancelled))
        downloader->download();
    runningDownload.end();
    if (!cancelled.load())
        reportFeed(*downloader);
}

void QUpdateChecker::reportFeed(const QFileDownloader& downloader)
{
    int reason = NoNewerVersion;
    bool found = false;
    if (downloader.networkError != 0) {
        UPDATE_LOG(logger, spdlog::level::warn, jobFunction, "Updater: cannot connect, error {} ({})",
                   downloader.networkError, downloader.errorString.toStdString());
        reason = RequestFailed;
    } else if (downloader.bodyTooLarge) {
        // Nothing of it is kept, not even as the cache.
        reason = UnparsableFeed;
    } else {
        const bool notModified = downloader.httpStatus == 304;
        const QByteArray body = notModified ? cachedFeed : downloader.data;

        QByteArray feed;
        if (!body.isEmpty()) {
            UPDATE_LOG(logger, spdlog::level::info, jobFunction, "Updater: done ({} bytes)", body.size());
            feed = QCompress::uncompress(body, QCompress::Gzip);
        }
        if (feed.isEmpty()) {
            reason = EmptyFeed;
        } else {
            availableUpdate->setLogger(logger);
            if (!availableUpdate->fromXML(feed)) {
                reason = UnparsableFeed;
            } else {
                // Only a feed that could be used is kept for the next 304.
                if (!notModified) {
                    cachedFeed = body;
                    if (downloader.lastModified.isValid())
                        feedLastModified = downloader.lastModified;
                }
                if (availableUpdate->newestVersionName() != skipVersion)
                    found = availableUpdate->hasUpdate();
            }
        }
    }

    if (cancelled.load())
        return;
    jobReported.store(true);
    if (found) {
        emit updateAvailable(availableUpdate->newestVersionName());
    } else {
        const QString text = !downloader.sslErrors.isEmpty() ? downloader.sslErrors : downloader.errorString;
        emit updateNotAvailable(reason, downloader.networkError, text);
    }
}

void QUpdateChecker::slotUpdateNotAvailable(int nReason, int nNetworkError, QString extendedErrorMessage)
{
    if (manualCheck && showMessages) {
        switch (nReason) {
        case NoNewerVersion:
            slotShowErrorMessage(
                QString("<b>%1</b>").arg(translate("core/UpdateChecker/MessageNoUpdateAvailable")),
                translate("core/UpdateChecker/MessageNoUpdateAvailableDescription").arg(appName, currentVersion),
                appIcon);
            break;
        case RequestFailed: {
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
    if (checkRunning()) {
        // The quit must not wait for the request's time-out: it is aborted first.
        cancelled.exchange(true);
        runningDownload.abortAndWait(checkFuture);
    }
}

void QUpdateChecker::installAndQuit()
{
    updateInstaller->armAndQuit();
}

void QUpdateChecker::runPendingInstaller()
{
    updateInstaller->runIfArmed(availableUpdate->isTmpInstall());
}
