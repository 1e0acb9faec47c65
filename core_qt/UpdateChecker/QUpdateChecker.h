#pragma once

#include <QDateTime>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <future>
#include <memory>

#include "RunningDownload.h"

namespace spdlog {
class logger;
}

class AppSettings;
class AvailableUpdate;
class LanguageTable;
class QFileDownloader;
class QTimer;
class QWidget;

// Decides when the program looks for a new version, runs the look-up on a
// worker thread and turns its outcome into the user's next step: nothing, a
// message, the update dialog, the download dialog, or an installer armed for
// the quit. The schedule and the user's choices live in three settings keys.
class QUpdateChecker : public QObject
{
    Q_OBJECT

public:
    QUpdateChecker(const QString& feedUrl, const QString& appName, const QString& version, AppSettings* settings,
                   LanguageTable* languageTable, QObject* parent, QWidget* mainWindow);
    ~QUpdateChecker() override;

    // Plans the next check from idle or waiting; does nothing while a dialog
    // of the checker is open. A check that runs refuses an unforced call; a
    // forced one stops it and runs at once.
    void checkForUpdate(bool force, int intervalHours);
    // Hours between automatic checks and after "Remind Me Later", also when
    // automatic checks are off.
    void setIntervalHours(int hours);
    void setSilent(bool silent);
    void setSilentMessages(bool silent);
    bool isAutoCheckEnabled() const;
    void setAutoCheck(bool on);
    void scheduleNextCheck();
    // Stores the next check and restarts the timer, also with automatic checks off.
    void remindLater();
    // The update dialog, then the download dialog when the user installs.
    void showUpdatesDialog(QWidget* parent);
    // Closes an open dialog, stops the timer, aborts a running check and
    // waits for it; nothing is emitted afterwards.
    void stop();
    // Arms the downloaded installer and quits; nothing without a file.
    void installAndQuit();
    // Starts an armed installer; called once at teardown, after stop().
    void runPendingInstaller();
    // The check job; runs on a worker thread.
    void updateCheckThread();
    // The language table's text of the key path.
    QString translate(const char* key) const;

    std::shared_ptr<spdlog::logger> logger;
    bool showUpdateDialog = true;
    bool showMessages = true;
    bool firstCheck = true;
    bool manualCheck = false;
    bool remindingLater = false;
    QWidget* openDialog = nullptr;
    QTimer* timer = nullptr;
    AppSettings* settings = nullptr;
    LanguageTable* languageTable = nullptr;
    // Guarded: a main window may go before the checker does.
    QPointer<QWidget> mainWindow;
    QIcon appIcon;
    QIcon customIcon;
    QString appName;
    QString feedUrl;
    QDateTime feedLastModified;
    QByteArray cachedFeed;
    QString userAgent;
    QString currentVersion;
    QString skipVersion;
    int intervalHours = 0;
    // Seconds before the first check of a run.
    int initialDelaySec = 0;
    QDateTime nextCheck;
    std::future<void> checkFuture;
    std::atomic<bool> cancelled{false};
    // Set by the job as it reports its outcome; what runs after that only
    // releases the request.
    std::atomic<bool> jobReported{false};
    AvailableUpdate* availableUpdate = nullptr;

signals:
    void updateAvailable(QString v);
    void updateNotAvailable(int nReason, int nNetworkError, QString extendedErrorMessage);
    // The user chose to skip this version.
    void versionSkipped(QString v);

public slots:
    void slotUpdateAvailable(QString v);
    void slotUpdateNotAvailable(int nReason, int nNetworkError, QString extendedErrorMessage);
    void slotShowErrorMessage(QString errMsg, QString informativeText, QIcon customIcon);
    void slotShowErrorMessage(QString errMsg, QString informativeText);

protected slots:
    void slotCheckForUpdate();

private:
    bool checkRunning() const;
    void restartTimer();
    // Single-shot after `ms`, held to what the timer takes.
    void startTimerIn(qint64 ms);
    // Emits the outcome of a finished request, unless the check was stopped.
    void reportFeed(const QFileDownloader& downloader);

    // The request in flight, so that stop() can abort it.
    RunningDownload runningDownload;
};

// Settings keys of the schedule and the user's choices.
extern const QString SettingUpdateCheckerAuto;
extern const QString SettingUpdateCheckerNextCheck;
extern const QString SettingUpdateCheckerSkipVersion;
