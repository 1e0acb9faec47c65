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
    // Moves what arrived into `received`; past maxBodySize ends the request.
    void takeBody();
    void refuseBody();

    std::atomic<bool> running{false};
    std::atomic<bool> abortRequested{false};
    QByteArray received;
};
