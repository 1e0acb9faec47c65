// The downloader against real HTTPS servers on 127.0.0.1 (https_server.py),
// with certificates made by openssl for this run (make_test_certs.sh). The
// test CA reaches the downloader through QUORBILAN_UPDATE_CA.
#include "QCompress.h"
#include "QFileDownloader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslError>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

const char* const userAgent = "Quorbilan 3.0.0/x64";

// The served feed is gzip data that unpacks to this.
bool isServedFeed(const QByteArray& data)
{
    return data.startsWith("\x1f\x8b")
        && QCompress::uncompress(data, QCompress::Gzip) == "<feed>served as stored</feed>\n";
}

struct Download
{
    std::unique_ptr<QFileDownloader> downloader;
    QFileDownloader* operator->() { return downloader.get(); }
};

} // namespace

class tst_QFileDownloader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QProcess server;
    QJsonObject ports;

    QString url(const char* server, const char* path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2").arg(ports.value(server).toInt()).arg(path);
    }

    Download fetch(const QString& address, const QDateTime& ifModifiedSince = {})
    {
        Download result{std::unique_ptr<QFileDownloader>(createFileDownloader(address, nullptr, userAgent))};
        result->ifModifiedSince = ifModifiedSince;
        result->download();
        return result;
    }

    // The requests the servers saw, oldest first.
    QList<QJsonObject> requests() const
    {
        QList<QJsonObject> list;
        QFile log(dir.filePath(QStringLiteral("requests.log")));
        if (log.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : log.readAll().split('\n')) {
                if (!line.isEmpty())
                    list << QJsonDocument::fromJson(line).object();
            }
        }
        return list;
    }

    void clearRequests() { QFile::remove(dir.filePath(QStringLiteral("requests.log"))); }

    static QString sslText(QSslError::SslError error) { return QSslError(error).errorString(); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QProcess certs;
        certs.start(QStringLiteral("sh"), {QStringLiteral(TEST_SUPPORT_DIR "/make_test_certs.sh"), dir.path()});
        QVERIFY(certs.waitForFinished(30000));
        QVERIFY2(certs.exitCode() == 0, certs.readAllStandardError().constData());
        qputenv("QUORBILAN_UPDATE_CA", dir.filePath(QStringLiteral("ca.pem")).toUtf8());

        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QStringLiteral("python3"),
                     {QStringLiteral(TEST_SUPPORT_DIR "/https_server.py"), dir.path(),
                      dir.filePath(QStringLiteral("requests.log"))});
        QVERIFY(server.waitForStarted());
        while (!server.canReadLine())
            QVERIFY2(server.waitForReadyRead(20000), "the test servers did not start");
        ports = QJsonDocument::fromJson(server.readLine()).object();
        QCOMPARE(ports.size(), 4);
    }

    void cleanupTestCase()
    {
        server.kill();
        server.waitForFinished();
    }

    void init() { clearRequests(); }

    void fetchesTheFileAsStored()
    {
        std::unique_ptr<QFileDownloader> downloader(
            createFileDownloader(url("trusted", "/feed.xml.gz"), nullptr, userAgent));
        QSignalSpy progress(downloader.get(), &QFileDownloader::downloadProgress);
        downloader->download();

        QCOMPARE(downloader->networkError, 0);
        QCOMPARE(downloader->httpStatus, 200);
        QVERIFY(downloader->errorString.isEmpty());
        QVERIFY(downloader->sslErrors.isEmpty());
        QCOMPARE(downloader->lastModified, QDateTime(QDate(2015, 10, 21), QTime(7, 28), Qt::UTC));
        // The gzip file itself, although the server offered to unpack it.
        QVERIFY(isServedFeed(downloader->data));
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(0).toLongLong(), downloader->data.size());
        QVERIFY(!downloader->isRunning());
        // After the request an abort has nothing to act on.
        downloader->abort();
        QCoreApplication::processEvents();
        QCOMPARE(downloader->networkError, 0);
        QVERIFY(isServedFeed(downloader->data));

        const QList<QJsonObject> seen = requests();
        QCOMPARE(seen.size(), 1);
        const QJsonObject headers = seen.first().value("headers").toObject();
        QCOMPARE(headers.value("user-agent").toString(), QString::fromLatin1(userAgent));
        QCOMPARE(headers.value("accept-encoding").toString(), QStringLiteral("identity"));
        QVERIFY(!headers.contains("if-modified-since"));
    }

    // A server that marks the gzip file as gzip-encoded even so: the body is
    // still the file, never unpacked on the way.
    void contentEncodingIsNotDecoded()
    {
        Download result = fetch(url("trusted", "/always-encoded"));
        QCOMPARE(result->httpStatus, 200);
        QVERIFY(isServedFeed(result->data));
    }

    void notModifiedIsNoError()
    {
        const QDateTime stamp(QDate(2015, 10, 21), QTime(7, 28), Qt::UTC);
        Download result = fetch(url("trusted", "/feed.xml.gz"), stamp);
        QCOMPARE(result->networkError, 0);
        QCOMPARE(result->httpStatus, 304);
        QVERIFY(result->data.isEmpty());
        QCOMPARE(requests().first().value("headers").toObject().value("if-modified-since").toString(),
                 QStringLiteral("Wed, 21 Oct 2015 07:28:00 GMT"));

        // An older copy is replaced.
        Download older = fetch(url("trusted", "/feed.xml.gz"), stamp.addDays(-1));
        QCOMPARE(older->httpStatus, 200);
        QVERIFY(isServedFeed(older->data));
    }

    void noLastModified()
    {
        Download result = fetch(url("trusted", "/no-date"));
        QCOMPARE(result->httpStatus, 200);
        QCOMPARE(result->data, QByteArray("no date"));
        QVERIFY(!result->lastModified.isValid());
    }

    void redirects()
    {
        Download secure = fetch(url("trusted", "/redirect-https"));
        QCOMPARE(secure->networkError, 0);
        QCOMPARE(secure->httpStatus, 200);
        QVERIFY(isServedFeed(secure->data));
        QCOMPARE(requests().size(), 2);

        clearRequests();
        Download insecure = fetch(url("trusted", "/redirect-http"));
        QCOMPARE(insecure->networkError, int(QNetworkReply::InsecureRedirectError));
        QCOMPARE(insecure->networkError, 11);
        QVERIFY(!insecure->errorString.isEmpty());
        QVERIFY(insecure->data.isEmpty());
        const QList<QJsonObject> seen = requests();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first().value("server").toString(), QStringLiteral("trusted"));
    }

    void notFound()
    {
        Download result = fetch(url("trusted", "/nothing-here"));
        QCOMPARE(result->networkError, int(QNetworkReply::ContentNotFoundError));
        QCOMPARE(result->networkError, 203);
        QCOMPARE(result->httpStatus, 404);
        QVERIFY2(result->errorString.contains(QStringLiteral("Not Found")), qPrintable(result->errorString));
        QVERIFY(result->data.isEmpty());
        QCOMPARE(networkErrorName(result->networkError), QStringLiteral("QNetworkReply::ContentNotFoundError"));
    }

    void certificateErrors_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QStringList>("expectedErrors");
        QTest::newRow("untrusted CA") << "untrusted"
                                      << QStringList{sslText(QSslError::UnableToGetLocalIssuerCertificate),
                                                     sslText(QSslError::UnableToVerifyFirstCertificate)};
        QTest::newRow("expired") << "expired" << QStringList{sslText(QSslError::CertificateExpired)};
    }

    void certificateErrors()
    {
        QFETCH(QString, server);
        QFETCH(QStringList, expectedErrors);
        Download result = fetch(url(server.toLatin1().constData(), "/feed.xml.gz"));
        QCOMPARE(result->networkError, int(QNetworkReply::SslHandshakeFailedError));
        QCOMPARE(result->networkError, 6);
        QVERIFY(result->data.isEmpty());
        QCOMPARE(result->httpStatus, 0);
        // Every reported error, in order, joined with ", ".
        QCOMPARE(result->sslErrors, expectedErrors.join(QStringLiteral(", ")));
        QVERIFY(requests().isEmpty());
    }

    void abortFromAnotherThread()
    {
        // Before any request: nothing happens.
        std::unique_ptr<QFileDownloader> idle(createFileDownloader(url("trusted", "/stall"), nullptr, userAgent));
        idle->abort();
        QVERIFY(!idle->isRunning());

        std::atomic<QFileDownloader*> running{nullptr};
        int error = -1;
        std::unique_ptr<QThread> job(QThread::create([&] {
            std::unique_ptr<QFileDownloader> downloader(
                createFileDownloader(url("trusted", "/stall"), nullptr, userAgent));
            running = downloader.get();
            downloader->download();
            error = downloader->networkError;
            running = nullptr;
        }));
        job->start();
        QTRY_VERIFY_WITH_TIMEOUT(running.load() && running.load()->isRunning(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(requests().size(), 1, 60000); // the server holds the request

        QElapsedTimer clock;
        clock.start();
        running.load()->abort();
        QVERIFY(job->wait(QDeadlineTimer(5000)));
        qInfo("abort took %lld ms", clock.elapsed());
        QCOMPARE(error, int(QNetworkReply::OperationCanceledError));
        QCOMPARE(error, 5);
    }

    void emptyUrlChangesNothing()
    {
        Download result = fetch(QString());
        QCOMPARE(result->networkError, 0);
        QCOMPARE(result->httpStatus, 0);
        QVERIFY(result->data.isNull());
        QVERIFY(result->errorString.isNull());
        QVERIFY(!result->lastModified.isValid());
        QVERIFY(requests().isEmpty());
    }

    void onlyHttpsIsFetched_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("http") << QStringLiteral("http://127.0.0.1:%1/feed.xml.gz");
        QTest::newRow("HTTP") << QStringLiteral("HTTP://127.0.0.1:%1/feed.xml.gz");
        QTest::newRow("file") << QStringLiteral("file:///etc/hostname?%1");
        QTest::newRow("no scheme") << QStringLiteral("127.0.0.1:%1/feed.xml.gz");
    }

    void onlyHttpsIsFetched()
    {
        QFETCH(QString, address);
        Download result = fetch(address.arg(ports.value("plain").toInt()));
        QCOMPARE(result->networkError, int(QNetworkReply::ProtocolUnknownError));
        QCOMPARE(result->networkError, 301);
        QVERIFY(result->errorString.contains(QStringLiteral("https")));
        QVERIFY(result->data.isEmpty());
        QVERIFY(!result->isRunning());
        // The plain server is there and listening, yet sees nothing.
        QVERIFY(requests().isEmpty());
    }

    void errorNames()
    {
        const QMetaEnum errors = QMetaEnum::fromType<QNetworkReply::NetworkError>();
        QCOMPARE(errors.keyCount(), 34);
        for (int i = 0; i < errors.keyCount(); ++i)
            QCOMPARE(networkErrorName(errors.value(i)), QStringLiteral("QNetworkReply::") + errors.key(i));
        QCOMPARE(networkErrorName(201), QStringLiteral("QNetworkReply::ContentAccessDenied"));
        QCOMPARE(networkErrorName(399), QStringLiteral("QNetworkReply::ProtocolFailure"));
        QCOMPARE(networkErrorName(42), QStringLiteral("QNetworkReply::Unknown"));
        QCOMPARE(networkErrorName(-1), QStringLiteral("QNetworkReply::Unknown"));
    }

    void builtInRootBundle()
    {
        const auto [text, length] = caBundlePem();
        QVERIFY(length > 1);
        QCOMPARE(text[length - 1], '\0');
        const QByteArray pem(text, qsizetype(length - 1));
        QCOMPARE(qsizetype(qstrlen(text)), pem.size());
        QVERIFY(pem.startsWith("##"));

        const QList<QSslCertificate> certificates = QSslCertificate::fromData(pem, QSsl::Pem);
        QVERIFY2(certificates.size() > 100, qPrintable(QString::number(certificates.size())));
        // Each certificate under its name and an underline of the same length.
        static const QRegularExpression entry(
            QStringLiteral("\n\n([^\n#][^\n]*)\n(=+)\n-----BEGIN CERTIFICATE-----\n"));
        int entries = 0;
        for (auto it = entry.globalMatch(QString::fromUtf8(pem)); it.hasNext(); ++entries) {
            const QRegularExpressionMatch match = it.next();
            QCOMPARE(match.captured(2).size(), qsizetype(match.captured(1).toUtf8().size()));
        }
        QCOMPARE(entries, certificates.size());
        QVERIFY(pem.endsWith("-----END CERTIFICATE-----\n\n"));
    }
};

QTEST_GUILESS_MAIN(tst_QFileDownloader)
#include "tst_QFileDownloader.moc"
