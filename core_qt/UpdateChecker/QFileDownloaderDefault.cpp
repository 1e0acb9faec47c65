#include "QFileDownloaderDefault.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QStorageInfo>
#include <QTimer>
#include <QUrl>

namespace {

// The system's roots, the built-in bundle and, for tests against a local
// server, the certificates of QUORBILAN_UPDATE_CA. Debian's default
// configuration lists no roots until asked, so the system's are named
// explicitly: adding the bundle alone would trust only the bundle.
QSslConfiguration makeSslConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> roots = QSslConfiguration::systemCaCertificates();

    const auto [text, length] = caBundlePem();
    const QByteArray bundle = QByteArray::fromRawData(text, qsizetype(length > 0 ? length - 1 : 0));
    if (!bundle.isEmpty())
        roots += QSslCertificate::fromData(bundle, QSsl::Pem);

    const QString testCa = updateTestCaFile();
    if (!testCa.isEmpty()) {
        QFile file(testCa);
        if (file.open(QIODevice::ReadOnly))
            roots += QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    }
    configuration.setCaCertificates(roots);
    return configuration;
}

// Made once per process, on the first download, whichever thread runs it.
const QSslConfiguration& sharedSslConfiguration()
{
    static const QSslConfiguration configuration = makeSslConfiguration();
    return configuration;
}

// What the reply may hold unread; the network thread waits while it is full.
constexpr qint64 readBufferBytes = 256 * 1024;

} // namespace

QFileDownloaderDefault::QFileDownloaderDefault(const QString& url, QObject* parent, const QString& userAgent)
    : QFileDownloader(url, parent, userAgent)
    , manager(new QNetworkAccessManager(this))
{
    connect(manager, &QNetworkAccessManager::finished, this, &QFileDownloaderDefault::replyFinished);
}

bool QFileDownloaderDefault::isRunning()
{
    return running;
}

void QFileDownloaderDefault::download()
{
    if (!manager || url.isEmpty())
        return;

    // The installer's address comes from the feed: never fetch it, or anything
    // else, in clear.
    const QUrl target(url, QUrl::TolerantMode);
    if (target.scheme() != QLatin1String("https")) {
        networkError = QNetworkReply::ProtocolUnknownError;
        errorString = QStringLiteral("Only https addresses are downloaded, not \"%1\"").arg(url);
        return;
    }

    QNetworkRequest request(target);
    request.setSslConfiguration(sharedSslConfiguration());
    if (!userAgent.isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, userAgent.toLocal8Bit());
    if (ifModifiedSince.isValid())
        request.setHeader(QNetworkRequest::IfModifiedSinceHeader, ifModifiedSince);
    if (followRedirects)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // The body must be the file as stored: Qt would otherwise ask for gzip and
    // silently unpack a gzip feed sent with Content-Encoding.
    request.setRawHeader("Accept-Encoding", "identity");

    // A server that stops sending must not hold the request, or the quit, for ever.
    request.setTransferTimeout(transferTimeoutMs);

    QEventLoop loop;
    connect(this, &QFileDownloaderDefault::finished, &loop, &QEventLoop::quit);

    if (abortRequested) {
        networkError = QNetworkReply::OperationCanceledError;
        errorString = QStringLiteral("Operation canceled");
        return;
    }
    running = true;
    received.clear();
    bodyBytes = 0;
    windowBytes = 0;
    ending = Ending::None;
    reply = manager->get(request);
    // The body is taken as it comes, so that a limit holds before it is all in memory.
    reply->setReadBufferSize(readBufferBytes);
    connect(reply, &QNetworkReply::downloadProgress, this, &QFileDownloader::downloadProgress);
    connect(reply, &QNetworkReply::sslErrors, this, &QFileDownloaderDefault::slotSslErrors);
    connect(reply, &QNetworkReply::readyRead, this, &QFileDownloaderDefault::takeBody);
    connect(reply, &QNetworkReply::metaDataChanged, this, &QFileDownloaderDefault::checkStatedLength);

    // Both timers are children of the loop's frame: they go with this call.
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this] { end(Ending::Deadline); });
    if (deadlineMs > 0)
        deadline.start(deadlineMs);
    QTimer rate;
    connect(&rate, &QTimer::timeout, this, &QFileDownloaderDefault::checkRate);
    if (rateWindowMs > 0 && minimumBytes > 0)
        rate.start(rateWindowMs);

    // An abort() that came while the request was being made found no reply to end.
    if (abortRequested)
        end(Ending::Aborted);
    if (running)
        loop.exec();
}

void QFileDownloaderDefault::checkStatedLength()
{
    bool known = false;
    const qint64 length = reply ? reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known) : 0;
    if (!known)
        return;
    if (maxBodySize >= 0 && length > maxBodySize) {
        refuseBody();
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!output || status < 200 || status >= 300)
        return;
    // Refused before a byte is written rather than when the disk is full.
    const QStorageInfo storage(QFileInfo(output->fileName()).absolutePath());
    if (storage.isValid() && storage.bytesAvailable() >= 0 && length - output->size() > storage.bytesAvailable()) {
        writeError = QStringLiteral("No space left on device");
        end(Ending::WriteFailed);
    }
}

void QFileDownloaderDefault::checkRate()
{
    if (windowBytes < minimumBytes)
        end(Ending::TooSlow);
    windowBytes = 0;
}

void QFileDownloaderDefault::takeBody()
{
    if (!reply || !reply->isOpen())
        return;
    if (ending != Ending::None) {
        reply->skip(reply->bytesAvailable());
        return;
    }
    const qint64 available = reply->bytesAvailable();
    if (maxBodySize >= 0 && bodyBytes + available > maxBodySize) {
        refuseBody();
        return;
    }
    const QByteArray chunk = reply->read(available);
    bodyBytes += chunk.size();
    windowBytes += chunk.size();
    if (!output) {
        received += chunk;
        return;
    }
    // A short write is no error of its own: the rest is written until the
    // system refuses it and says why.
    qint64 done = 0;
    while (done < chunk.size()) {
        const qint64 count = output->write(chunk.constData() + done, chunk.size() - done);
        if (count <= 0) {
            writeError = output->errorString();
            end(Ending::WriteFailed);
            return;
        }
        done += count;
    }
}

void QFileDownloaderDefault::refuseBody()
{
    if (bodyTooLarge)
        return;
    bodyTooLarge = true;
    received = QByteArray();
    end(Ending::TooLarge);
}

void QFileDownloaderDefault::end(Ending why)
{
    if (ending != Ending::None)
        return;
    ending = why;
    if (reply)
        reply->abort();
}

void QFileDownloaderDefault::abort()
{
    abortRequested = true;
    if (!running)
        return;
    // The reply belongs to the downloader's thread: end it there.
    QMetaObject::invokeMethod(
        this, [this] { end(Ending::Aborted); }, Qt::AutoConnection);
}

void QFileDownloaderDefault::replyFinished(QNetworkReply* finishedReply)
{
    if (finishedReply) {
        if (finishedReply == reply)
            takeBody();
        lastModified = finishedReply->header(QNetworkRequest::LastModifiedHeader).toDateTime();
        httpStatus = finishedReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (ending == Ending::TooLarge || ending == Ending::WriteFailed) {
            // Ended here on purpose: no network error, and nothing of the body kept.
            networkError = QNetworkReply::NoError;
            data = QByteArray();
        } else {
            networkError = finishedReply->error();
            if (networkError == QNetworkReply::OperationCanceledError && ending != Ending::Aborted) {
                // Only our own limits cancel without abort(); Qt calls each "Operation canceled".
                networkError = QNetworkReply::TimeoutError;
                if (ending == Ending::Deadline)
                    errorString
                        = QStringLiteral("The download did not finish within %1 seconds").arg(deadlineMs / 1000.0);
                else if (ending == Ending::TooSlow)
                    errorString = QStringLiteral("The server sent less than %1 bytes in %2 seconds")
                                      .arg(minimumBytes)
                                      .arg(rateWindowMs / 1000.0);
                else
                    errorString
                        = QStringLiteral("The server sent nothing for %1 seconds").arg(transferTimeoutMs / 1000.0);
            } else if (networkError != QNetworkReply::NoError) {
                errorString = finishedReply->errorString();
            } else {
                data = received;
            }
        }
        received = QByteArray();
        finishedReply->deleteLater();
        if (finishedReply == reply)
            reply = nullptr;
    }
    running = false;
    emit finished();
}

void QFileDownloaderDefault::slotSslErrors(QList<QSslError> errors)
{
    QStringList texts;
    for (const QSslError& error : errors)
        texts << error.errorString();
    sslErrors = texts.join(QStringLiteral(", "));
}
