#include "QFileDownloaderDefault.h"

#include <QEventLoop>
#include <QFile>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
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

    running = true;
    received.clear();
    reply = manager->get(request);
    // The body is taken as it comes, so that a limit holds before it is all in memory.
    reply->setReadBufferSize(readBufferBytes);
    connect(reply, &QNetworkReply::downloadProgress, this, &QFileDownloader::downloadProgress);
    connect(reply, &QNetworkReply::sslErrors, this, &QFileDownloaderDefault::slotSslErrors);
    connect(reply, &QNetworkReply::readyRead, this, &QFileDownloaderDefault::takeBody);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        bool known = false;
        const qint64 length = reply ? reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known) : 0;
        if (known && maxBodySize >= 0 && length > maxBodySize)
            refuseBody();
    });
    if (running)
        loop.exec();
}

void QFileDownloaderDefault::takeBody()
{
    if (!reply || !reply->isOpen())
        return;
    if (bodyTooLarge) {
        reply->skip(reply->bytesAvailable());
        return;
    }
    const qint64 available = reply->bytesAvailable();
    if (maxBodySize >= 0 && received.size() + available > maxBodySize) {
        refuseBody();
        return;
    }
    received += reply->read(available);
}

void QFileDownloaderDefault::refuseBody()
{
    if (bodyTooLarge)
        return;
    bodyTooLarge = true;
    received = QByteArray();
    if (reply)
        reply->abort();
}

void QFileDownloaderDefault::abort()
{
    if (!running)
        return;
    abortRequested = true;
    // The reply belongs to the downloader's thread: abort it there.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (reply)
                reply->abort();
        },
        Qt::AutoConnection);
}

void QFileDownloaderDefault::replyFinished(QNetworkReply* finishedReply)
{
    if (finishedReply) {
        if (finishedReply == reply)
            takeBody();
        lastModified = finishedReply->header(QNetworkRequest::LastModifiedHeader).toDateTime();
        httpStatus = finishedReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (bodyTooLarge) {
            // Ended here on purpose: no network error, and nothing of the body kept.
            networkError = QNetworkReply::NoError;
            data = QByteArray();
        } else {
            networkError = finishedReply->error();
            if (networkError == QNetworkReply::OperationCanceledError && !abortRequested) {
                // Only the transfer time-out cancels without abort(); Qt calls it "Operation canceled".
                networkError = QNetworkReply::TimeoutError;
                errorString = QStringLiteral("The server sent nothing for %1 seconds").arg(transferTimeoutMs / 1000.0);
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
