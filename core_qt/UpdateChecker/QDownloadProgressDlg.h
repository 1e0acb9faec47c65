#pragma once

#include "QDialogEx.h"
#include "RunningDownload.h"

#include <QString>

#include <atomic>
#include <future>
#include <memory>

namespace spdlog {
class logger;
}

class QCloseEvent;
class QFile;
class QLabel;
class QProgressBar;
class QPushButton;
class QUpdateChecker;

// Fetches the new version's installer on a worker thread, shows the progress
// and offers "Install and Relaunch" once the file is saved. exec() returns 0
// cancelled (also closing the window), 1 install, 2 failed with errorText.
class QDownloadProgressDlg : public QDialogEx
{
    Q_OBJECT

public:
    QDownloadProgressDlg(QUpdateChecker* checker, QWidget* parent);
    // Cancels and waits for a job that still runs.
    ~QDownloadProgressDlg() override;

    // The job: download, save, hand the file to the installer.
    void downloadThread();

    std::shared_ptr<spdlog::logger> logger;
    QString errorText;

signals:
    void progressUnpacking();
    void progressReady();
    void progressError(QString);

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void slotStatusUnpacking();
    void slotStatusReady();
    void slotReject();
    void slotInstall();
    void slotDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void slotProgressError(QString errText);

private:
    void setupUi();
    // Stops the job: aborts its request and waits for its end.
    void cancelJob();

    QUpdateChecker* checker;
    // Taken from the parsed feed on the GUI thread before the job starts: the
    // job does not read the feed the checker owns.
    const QString installerUrl;
    const bool saveToDownloads;
    RunningDownload runningDownload;
    QProgressBar* progressBar = nullptr;
    QLabel* sizeLabel = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* installButton = nullptr;
    QPushButton* cancelButton = nullptr;
    std::atomic<bool> cancelled{false};
    std::future<void> downloadJob;
};

// The largest installer the program downloads, in bytes; tests lower it.
extern qint64 maxInstallerBytes;

// The installer's file name from its URL's path (never its query), without
// the characters Windows forbids in names, short enough for the file system
// also once numbered; a fixed name when nothing is left.
QString installerFileName(const QString& url);

// The full path to save the download under: a free name in the Downloads
// folder, or a new temporary folder that outlives the program; empty with
// `error` set when neither can be had. An existing file is never chosen.
QString downloadTargetPath(const QString& fileName, bool saveToDownloads, QString& error);

// Opens a new file at `path` for writing, never one that is there already;
// false with `error` naming the reason. `taken` tells that a file of that
// name was there first: choose another name.
bool openNewFile(QFile& file, const QString& path, QString& error, bool* taken = nullptr);

// Writes `data` to a new file at `path`; false with `error` naming the
// reason when any of it failed, and then nothing stays at `path`. `taken`
// tells that a file of that name was there first: choose another name.
bool saveNewFile(const QString& path, const QByteArray& data, QString& error, bool* taken = nullptr);
