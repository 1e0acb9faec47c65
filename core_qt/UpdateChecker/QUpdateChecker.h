#pragma once

#include <QDateTime>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace spdlog {
class logger;
}

class AppSettings;
class AvailableUpdate;
class LanguageTable;
class QTimer;
class QWidget;
class UpdateCheckJob;

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
    // of the checker is open. A forced call is the user's check: it runs at
    // once and shows its dialog and messages whatever setSilent() and
    // setSilentMessages() say. A check that runs refuses an unforced call; a
    // forced one leaves a running forced check alone and supersedes a
    // scheduled one, without waiting for it.
    void checkForUpdate(bool force, int intervalHours);
    // Hours between automatic checks and after "Remind Me Later", also when
    // automatic checks are off.
    void setIntervalHours(int hours);
    // Whether the checks of the schedule open the update dialog and show
    // messages; the user's own checks always do.
    void setSilent(bool silent);
    void setSilentMessages(bool silent);
    bool isAutoCheckEnabled() const;
    void setAutoCheck(bool on);
    void scheduleNextCheck();
    // Stores the next check and restarts the timer, also with automatic checks off.
    void remindLater();
    // The update dialog, then the download dialog when the user installs.
    void showUpdatesDialog(QWidget* parent);
    // Closes an open dialog, stops the timer and abandons a running check:
    // its request is aborted, nothing waits for it and nothing is emitted
    // afterwards.
    void stop();
    // Arms the downloaded installer and quits; nothing without a file.
    void installAndQuit();
    // Starts an armed installer; called once at teardown, after stop().
    void runPendingInstaller();
    // A check is under way; one the user asked for.
    bool isChecking() const;
    bool isManualCheckRunning() const;
    // The language table's text of the key path.
    QString translate(const char* key) const;

    std::shared_ptr<spdlog::logger> logger;
    bool showUpdateDialog = true;
    bool showMessages = true;
    bool firstCheck = true;
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
    AvailableUpdate* availableUpdate = nullptr;

signals:
    void updateAvailable(QString v);
    void updateNotAvailable(int nReason, int nNetworkError, QString extendedErrorMessage);
    // The user chose to skip this version.
    void versionSkipped(QString v);
    // A check the user asked for started (true) or ended (false).
    void manualCheckRunning(bool running);

public slots:
    // The outcomes as a check of the schedule meets them.
    void slotUpdateAvailable(QString v);
    void slotUpdateNotAvailable(int nReason, int nNetworkError, QString extendedErrorMessage);
    void slotShowErrorMessage(QString errMsg, QString informativeText, QIcon customIcon);
    void slotShowErrorMessage(QString errMsg, QString informativeText);

protected slots:
    void slotCheckForUpdate();

private:
    void restartTimer();
    // Single-shot after `ms`, held to what the timer takes.
    void startTimerIn(qint64 ms);
    // Starts a check job; `manual` is its mode, carried to its report.
    void startCheck(bool manual);
    // Lets the running check go on alone: it reports nothing.
    void abandonCheck();
    // The outcome of the job under way, on the GUI thread.
    void takeReport(std::shared_ptr<UpdateCheckJob> finished);
    void showNotAvailable(int nReason, int nNetworkError, const QString& extendedErrorMessage, bool messages);

    std::shared_ptr<UpdateCheckJob> job;
    // The table the parsed feed in availableUpdate was read with.
    std::shared_ptr<const LanguageTable> feedLanguage;
};

// Settings keys of the schedule and the user's choices.
extern const QString SettingUpdateCheckerAuto;
extern const QString SettingUpdateCheckerNextCheck;
extern const QString SettingUpdateCheckerSkipVersion;
