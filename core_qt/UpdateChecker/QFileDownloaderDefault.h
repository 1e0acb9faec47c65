#pragma once

#include "QFileDownloader.h"

#include <QList>
#include <QPointer>
#include <QSslError>

#include <atomic>

class QNetworkAccessManager;
class QNetworkReply;

// The downloader on QNetworkAccessManager. It, its manager and its reply live on
// the thread that made it; isRunning() and abort() may be called from any thread.
class QFileDownloaderDefault : public QFileDownloader
{
    Q_OBJECT

public:
    QFileDownloaderDefault(const QString& url, QObject* parent, const QString& userAgent);

    bool isRunning() override;

public slots:
    void download() override;
    void abort() override;
    void replyFinished(QNetworkReply* finished);
    void slotSslErrors(QList<QSslError> errors);

signals:
    void finished();

protected:
    QNetworkAccessManager* manager = nullptr;
    // The request in flight; touched only on the downloader's thread.
    QNetworkReply* reply = nullptr;

private:
    // Why the request was ended before the server finished it.
    enum class Ending { None, Aborted, Deadline, TooSlow, TooLarge, WriteFailed };

    // Moves what arrived into `received` or `output`; past maxBodySize ends the request.
    void takeBody();
    void checkStatedLength();
    void checkRate();
    // Ends the request on the downloader's thread.
    void end(Ending why);
    void refuseBody();

    std::atomic<bool> running{false};
    // Set by abort() from any thread, also before the request starts: a
    // download() that begins afterwards ends at once.
    std::atomic<bool> abortRequested{false};
    Ending ending = Ending::None;
    QByteArray received;
    qint64 windowBytes = 0;
};
