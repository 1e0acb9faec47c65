#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstddef>
#include <utility>

class QFile;

// One blocking HTTPS GET, run on a worker thread: download() waits in a local
// event loop until the reply has finished and leaves the outcome in the fields.
class QFileDownloader : public QObject
{
    Q_OBJECT

public:
    QFileDownloader(const QString& url, QObject* parent, const QString& userAgent);

    virtual bool isRunning() = 0;

public slots:
    virtual void download() = 0;
    virtual void abort() = 0;

signals:
    void downloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);

public:
    bool followRedirects = true;
    QString url;
    // Empty: no User-Agent header.
    QString userAgent;
    // Sent as If-Modified-Since when valid; set before download().
    QDateTime ifModifiedSince;
    // A body larger than this is not kept (negative: no limit); set before download().
    qint64 maxBodySize = -1;
    // Milliseconds without a byte that end the request with a time-out; set
    // before download().
    int transferTimeoutMs = 60000;
    // Milliseconds the whole request may take (0: no limit): a server that
    // sends a byte now and then never trips the time-out above.
    int deadlineMs = 0;
    // Less than minimumBytes in any rateWindowMs ends the request as timed out
    // (0: no minimum rate).
    qint64 minimumBytes = 0;
    int rateWindowMs = 0;
    // When set, the body goes to this open file as it arrives instead of into
    // `data`; a body the file's disk has no room for is refused by its stated
    // length. The caller removes the file after a failure.
    QFile* output = nullptr;

    QByteArray data;
    QDateTime lastModified;
    int networkError = 0;
    int httpStatus = 0;
    // The SSL errors of the request joined with ", ".
    QString sslErrors;
    QString errorString;
    // The body went past maxBodySize: the request was ended, nothing kept and
    // no network error set.
    bool bodyTooLarge = false;
    // Why the body could not be written to `output` (the request was ended
    // with no network error set); empty when it could.
    QString writeError;
    // Bytes of the body received.
    qint64 bodyBytes = 0;
};

// A new downloader for `url`; the caller owns it and deletes it on the thread
// that made it.
QFileDownloader* createFileDownloader(const QString& url, QObject* parent, const QString& userAgent);

// "QNetworkReply::<enumerator>" for a network error code, "QNetworkReply::Unknown"
// for any other.
QString networkErrorName(int code);

// The built-in public root certificates as PEM text: the pointer and the length,
// which counts the terminating zero byte.
std::pair<const char*, std::size_t> caBundlePem();

// Testing against a local server: a PEM file whose certificates are trusted in
// addition to the roots, and a replacement for the update feed's address.
// Both are empty in normal use.
QString updateTestCaFile();
QString updateFeedUrlOverride();
// Testing a server that never answers: the time-out in milliseconds that
// replaces every request's own (QUORBILAN_UPDATE_TIMEOUT_MS), else `normalMs`.
int updateTransferTimeoutMs(int normalMs);
// Testing a server that sends a byte now and then: the milliseconds that
// replace the feed's deadline and the installer's rate window
// (QUORBILAN_UPDATE_DEADLINE_MS), else `normalMs`.
int updateDeadlineMs(int normalMs);
