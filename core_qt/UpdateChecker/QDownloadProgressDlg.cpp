#include "QDownloadProgressDlg.h"

#include "AvailableUpdate.h"
#include "CrashHandler.h"
#include "FormatByteSize.h"
#include "IconRow.h"
#include "PaddedButtonText.h"
#include "QFileDownloader.h"
#include "QUpdateChecker.h"
#include "UpdateInstaller.h"
#include "UpdateLog.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

#include <limits>

namespace {

const QString fallbackInstallerName = QStringLiteral("QuorbilanSetup.exe");
const int highestNumber = 999;
const char jobFunction[] = "QDownloadProgressDlg::downloadThread";
// Milliseconds without a byte that end the installer's request.
constexpr int installerTimeoutMs = 60 * 1000;
// Less than this in a minute ends it too: a server that sends a byte now and
// then would otherwise hold the download for hours.
constexpr qint64 installerMinimumBytes = 32 * 1024;
constexpr int installerRateWindowMs = 60 * 1000;
// Bytes of UTF-8 a name may take: file systems allow 255, less the " (999)"
// a numbered name adds.
constexpr int maxNameBytes = 255 - 6;
// A suffix longer than this is no extension worth keeping whole.
constexpr int maxKeptSuffix = 16;
// Names taken by someone else between the choice and the open, before giving up.
constexpr int saveAttempts = 10;

// A plain widget for the dialog's right-hand column.
class QVBoxLayoutMacWorkaround : public QWidget
{
public:
    explicit QVBoxLayoutMacWorkaround(QWidget* parent)
        : QWidget(parent)
        , layout(new QVBoxLayout(this))
    {
        layout->setContentsMargins(0, 0, 0, 0);
    }
    ~QVBoxLayoutMacWorkaround() override = default;

    QVBoxLayout* layout;
};

QString numberedName(const QString& folder, const QFileInfo& name, int number)
{
    const QString suffix = name.suffix();
    if (suffix.isEmpty())
        return QString("%1/%2 (%3)").arg(folder, name.completeBaseName()).arg(number);
    return QString("%1/%2 (%3).%4").arg(folder, name.completeBaseName()).arg(number).arg(suffix);
}

// Exists as anything, also as a link to nothing: a dangling link would be
// followed by the write.
bool taken(const QString& path)
{
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

// Windows opens a device, not a file, for these stems, whatever follows the
// first dot and in any case.
bool isWindowsDeviceName(const QString& name)
{
    static const QStringList devices = [] {
        QStringList list = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
        for (const QString& port : {QStringLiteral("COM"), QStringLiteral("LPT")}) {
            for (int n = 1; n <= 9; ++n)
                list << port + QString::number(n);
            for (const QChar digit : {QChar(0xB9), QChar(0xB2), QChar(0xB3)})
                list << port + digit;
        }
        return list;
    }();
    QString stem = name.section(QLatin1Char('.'), 0, 0);
    while (stem.endsWith(QLatin1Char(' ')))
        stem.chop(1);
    return devices.contains(stem, Qt::CaseInsensitive);
}

// `name` cut to at most maxNameBytes of UTF-8, keeping a short suffix and
// never splitting a character.
QString shortenedName(const QString& name)
{
    if (name.toUtf8().size() <= maxNameBytes)
        return name;
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    QString suffix = dot > 0 && name.size() - dot <= maxKeptSuffix + 1 ? name.mid(dot) : QString();
    QString stem = name.left(name.size() - suffix.size());
    const qsizetype room = maxNameBytes - suffix.toUtf8().size();
    while (!stem.isEmpty() && stem.toUtf8().size() > room) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
    }
    // Windows drops trailing dots and blanks from names.
    while (stem.endsWith('.') || stem.endsWith(' '))
        stem.chop(1);
    return stem + suffix;
}

} // namespace

qint64 maxInstallerBytes = qint64(1) << 30;

QString installerFileName(const QString& url)
{
    QString name = QUrl(url, QUrl::TolerantMode).fileName();
    static const QString forbidden = QStringLiteral("<>:\"/\\|?*");
    name.removeIf([](QChar c) { return c.unicode() < 32 || forbidden.contains(c); });
    // Windows drops trailing dots and blanks from names.
    while (name.endsWith('.') || name.endsWith(' '))
        name.chop(1);
    if (name.isEmpty())
        return fallbackInstallerName;
    return shortenedName(isWindowsDeviceName(name) ? QStringLiteral("_") + name : name);
}

QString downloadTargetPath(const QString& fileName, bool saveToDownloads, QString& error)
{
    if (saveToDownloads) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        if (!folder.isEmpty() && QDir().mkpath(folder)) {
            QString candidate = folder + "/" + fileName;
            const QFileInfo name(fileName);
            for (int number = 1; taken(candidate); ++number) {
                if (number > highestNumber) {
                    error = QString("UpdateChecker: no free name for '%1' in '%2'")
                                .arg(fileName, QDir::toNativeSeparators(folder));
                    return QString();
                }
                candidate = numberedName(folder, name, number);
            }
            return QDir::toNativeSeparators(candidate);
        }
    }

    QTemporaryDir folder;
    folder.setAutoRemove(false);
    if (folder.isValid())
        return QDir::toNativeSeparators(folder.filePath(fileName));
    error = QString("UpdateChecker: QTemporaryDir error '%1'").arg(folder.errorString());
    return QString();
}

QDownloadProgressDlg::QDownloadProgressDlg(QUpdateChecker* checker, QWidget* parent)
    : QDialogEx(parent)
    , checker(checker)
    , installerUrl(checker->availableUpdate->downloadUrl)
    , saveToDownloads(checker->availableUpdate->isSaveToDownloads())
{
    setAttribute(Qt::WA_QuitOnClose, false);
    logger = checker->logger;
    if (!logger)
        UPDATE_WARN_NULL_LOGGER();

    setWindowTitle(checker->translate("core/UpdateChecker/UpdateProgressTitle").arg(checker->appName));
    if (!parent)
        setWindowIcon(!checker->customIcon.isNull() ? checker->customIcon : checker->appIcon);
    setupUi();
    adjustSize();
    setFixedSize(385, height());

    connect(this, &QDownloadProgressDlg::progressUnpacking, this, &QDownloadProgressDlg::slotStatusUnpacking);
    connect(this, &QDownloadProgressDlg::progressReady, this, &QDownloadProgressDlg::slotStatusReady);
    connect(this, &QDownloadProgressDlg::progressError, this, &QDownloadProgressDlg::slotProgressError);
    downloadJob = std::async(std::launch::async, [this] {
        CrashHandler::prepareThread();
        downloadThread();
    });
}

QDownloadProgressDlg::~QDownloadProgressDlg()
{
    // Closed by a quit while the job still runs: its request may never end
    // on its own.
    cancelJob();
}

void QDownloadProgressDlg::setupUi()
{
    QHBoxLayout* row = addIconRow(this, checker->appIcon);

    auto* right = new QVBoxLayoutMacWorkaround(this);
    row->addWidget(right);

    statusLabel = new QLabel(
        QString("<b>%1</b>").arg(checker->translate("core/UpdateChecker/UpdateProgressStatusDownloading")), right);
    statusLabel->setObjectName("statusLabel");
    right->layout->addWidget(statusLabel);

    progressBar = new QProgressBar(right);
    progressBar->setObjectName("progressBar");
    progressBar->setTextVisible(false);
    right->layout->addWidget(progressBar);

    auto* bottom = new QHBoxLayout();
    bottom->setContentsMargins(0, 0, 0, 0);
    sizeLabel = new QLabel(right);
    sizeLabel->setObjectName("sizeLabel");
    bottom->addWidget(sizeLabel);
    bottom->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Fixed));
    installButton = new QPushButton(checker->translate("core/UpdateChecker/UpdateProgressInstallAndRelaunch"), right);
    installButton->setObjectName("installButton");
    installButton->hide();
    installButton->setDefault(true);
    connect(installButton, &QPushButton::clicked, this, &QDownloadProgressDlg::slotInstall);
    bottom->addWidget(installButton);
    cancelButton = new QPushButton(checker->translate("core/UpdateChecker/UpdateProgressCancel"), right);
    cancelButton->setObjectName("cancelButton");
    connect(cancelButton, &QPushButton::clicked, this, &QDownloadProgressDlg::slotReject);
    bottom->addWidget(cancelButton);
    right->layout->addLayout(bottom);

    setPaddedButtonText(cancelButton);
    setPaddedButtonText(installButton);
}

bool openNewFile(QFile& file, const QString& path, QString& error, bool* taken)
{
    if (taken)
        *taken = false;
    file.setFileName(path);
    // Never a file that is there already: another one of that name may have
    // come since the name was chosen.
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return true;
    if (taken)
        *taken = QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    error = QString("Unable to open file '%1': %2").arg(path, file.errorString());
    return false;
}

namespace {

// Closes a written file; false with `error` when any of it did not reach the disk.
bool closeWritten(QFile& file, QString& error)
{
    bool written = file.flush();
    QString reason = file.errorString();
    file.close();
    if (written && file.error() != QFileDevice::NoError) {
        written = false;
        reason = file.errorString();
    }
    if (!written)
        error = QString("Unable to write file '%1': %2").arg(file.fileName(), reason);
    return written;
}

} // namespace

bool saveNewFile(const QString& path, const QByteArray& data, QString& error, bool* taken)
{
    QFile file;
    if (!openNewFile(file, path, error, taken))
        return false;
    // A short write is no error of its own: the rest is written until the
    // system refuses it and says why. The reason is read before close(),
    // which forgets it.
    qint64 done = 0;
    while (done < data.size()) {
        const qint64 count = file.write(data.constData() + done, data.size() - done);
        if (count <= 0)
            break;
        done += count;
    }
    if (done != data.size()) {
        error = QString("Unable to write file '%1': %2").arg(path, file.errorString());
        file.close();
        file.remove();
        return false;
    }
    if (closeWritten(file, error))
        return true;
    // A cut-off installer must never be started: the part written goes too.
    file.remove();
    return false;
}

void QDownloadProgressDlg::downloadThread()
{
    const QString url = installerUrl;
    const QString failed = checker->translate("core/UpdateChecker/MessageErrorConnect") + QStringLiteral("\n");
    if (url.isEmpty()) {
        emit progressError(failed + QStringLiteral("The update names no file to download."));
        return;
    }

    // The file is chosen and opened before the transfer: a name or a folder
    // that cannot be had is known before a byte is fetched, and the body goes
    // to disk as it arrives.
    updateInstaller->setLogger(logger);
    const QString fileName = installerFileName(url);
    UPDATE_LOG(logger, spdlog::level::info, jobFunction, "UpdateChecker: file name is '{}'", fileName.toStdString());
    QString error;
    QString path;
    QFile file;
    bool taken = true;
    for (int attempt = 0; taken && attempt < saveAttempts; ++attempt) {
        path = downloadTargetPath(fileName, saveToDownloads, error);
        if (path.isEmpty()) {
            UPDATE_LOG(logger, spdlog::level::err, jobFunction, "{}", error.toStdString());
            emit progressError(error);
            return;
        }
        UPDATE_LOG(logger, spdlog::level::info, jobFunction, "UpdateChecker: downloadFullPath is '{}'",
                   path.toStdString());
        if (openNewFile(file, path, error, &taken))
            break;
        if (!taken || attempt + 1 == saveAttempts) {
            emit progressError(error);
            return;
        }
    }

    std::unique_ptr<QFileDownloader> downloader(createFileDownloader(url, nullptr, "QFileDownloader"));
    downloader->transferTimeoutMs = updateTransferTimeoutMs(installerTimeoutMs);
    downloader->minimumBytes = installerMinimumBytes;
    downloader->rateWindowMs = updateDeadlineMs(installerRateWindowMs);
    downloader->maxBodySize = maxInstallerBytes;
    downloader->output = &file;
    connect(downloader.get(), &QFileDownloader::downloadProgress, this, &QDownloadProgressDlg::slotDownloadProgress);

    UPDATE_LOG(logger, spdlog::level::info, jobFunction, "UpdateChecker: downloading...");
    if (runningDownload.begin(downloader.get(), cancelled))
        downloader->download();
    runningDownload.end();

    // Anything but a whole body leaves no file behind: a cut-off installer
    // must never be started.
    QString failure;
    if (cancelled.load()) {
        failure = QStringLiteral("cancelled");
    } else if (downloader->networkError != 0) {
        failure = failed + QString("QNetworkReply::NetworkError %1").arg(downloader->networkError);
        if (!downloader->errorString.isEmpty())
            failure += QStringLiteral(": ") + downloader->errorString;
    } else if (downloader->bodyTooLarge) {
        failure = failed
            + QStringLiteral("The file is larger than %1, the most the program downloads.")
                  .arg(formatByteSize(maxInstallerBytes));
    } else if (!downloader->writeError.isEmpty()) {
        failure = QString("Unable to write file '%1': %2").arg(path, downloader->writeError);
    } else if (downloader->bodyBytes == 0) {
        failure = failed + QStringLiteral("The server sent an empty file.");
    }
    if (failure.isEmpty()) {
        UPDATE_LOG(logger, spdlog::level::info, jobFunction, "UpdateChecker: done ({} bytes)", downloader->bodyBytes);
        // The last of it may be refused only as it is flushed.
        closeWritten(file, failure);
    }
    if (!failure.isEmpty()) {
        file.close();
        file.remove();
        // A temporary folder made for it goes too; the Downloads folder stays.
        const QString folder = QFileInfo(path).absolutePath();
        if (QDir(folder) != QDir(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)))
            QDir().rmdir(folder);
        if (!cancelled.load())
            emit progressError(failure);
        return;
    }
    UPDATE_LOG(logger, spdlog::level::info, jobFunction, "UpdateChecker: download saved to {}", path.toStdString());

    if (updateInstaller->needsUnpack()) {
        emit progressUnpacking();
        const QString unpacked = updateInstaller->unpack(path);
        if (cancelled.load()) {
            emit progressReady();
            return;
        }
        UPDATE_LOG(logger, spdlog::level::info, jobFunction, "UpdateChecker: unpacked to '{}'", unpacked.toStdString());
        if (unpacked.isEmpty()) {
            emit progressError("unpackUpdate failed");
            emit progressReady();
            return;
        }
        updateInstaller->setUpdateFile(unpacked);
    } else {
        updateInstaller->setUpdateFile(path);
    }
    emit progressReady();
}

void QDownloadProgressDlg::slotDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (bytesTotal < 0) {
        // No length: a busy bar.
        progressBar->setRange(0, 0);
    } else {
        // The bar counts in an int: a size past its range is shown in coarser units.
        int shift = 0;
        while ((bytesTotal >> shift) > std::numeric_limits<int>::max())
            ++shift;
        progressBar->setRange(0, int(bytesTotal >> shift));
        progressBar->setValue(int(qBound<qint64>(0, bytesReceived, bytesTotal) >> shift));
    }
    sizeLabel->setText(checker->translate("core/UpdateChecker/UpdateProgressSize")
                           .arg(formatByteSize(bytesReceived), formatByteSize(bytesTotal < 0 ? 0 : bytesTotal)));
}

void QDownloadProgressDlg::slotStatusUnpacking()
{
    sizeLabel->clear();
    progressBar->setRange(0, 0);
    statusLabel->setText(checker->translate("core/UpdateChecker/UpdateProgressExtract"));
}

void QDownloadProgressDlg::slotStatusReady()
{
    sizeLabel->clear();
    progressBar->setRange(0, 100);
    progressBar->setValue(100);
    installButton->show();
    cancelButton->hide();
    statusLabel->setText(QString("<b>%1</b>").arg(checker->translate("core/UpdateChecker/UpdateProgressStatusReady")));
}

void QDownloadProgressDlg::slotInstall()
{
    progressBar->setRange(0, 0);
    done(1);
    checker->installAndQuit();
}

void QDownloadProgressDlg::slotProgressError(QString errText)
{
    errorText = errText;
    done(2);
}

void QDownloadProgressDlg::cancelJob()
{
    cancelled.exchange(true);
    runningDownload.abortAndWait(downloadJob);
}

void QDownloadProgressDlg::slotReject()
{
    cancelJob();
    done(0);
}

void QDownloadProgressDlg::closeEvent(QCloseEvent*)
{
    slotReject();
}
