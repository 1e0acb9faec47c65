#include "FeedServer.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTest>

#include <zlib.h>

bool TestCertificates::make(const QString& folder)
{
    QDir().mkpath(folder);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("sh", {QStringLiteral(QUORBILAN_TEST_CERTS_SCRIPT), folder});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("making the test certificates failed: %s", process.readAll().constData());
        return false;
    }
    caFile = folder + "/ca.pem";
    certFile = folder + "/server.pem";
    keyFile = folder + "/server.key";
    untrustedCertFile = folder + "/other.pem";
    untrustedKeyFile = folder + "/other.key";
    return true;
}

FeedServer::~FeedServer()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool FeedServer::start(const QString& root, const QString& certFile, const QString& keyFile)
{
    folder = root;
    QDir().mkpath(root);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start("python3", {QStringLiteral(QUORBILAN_FEED_SERVER), root, certFile, keyFile});
    if (!process.waitForStarted(10000))
        return false;
    while (process.waitForReadyRead(10000)) {
        const QByteArray line = process.readLine().trimmed();
        if (line.startsWith("PORT ")) {
            port = line.mid(5).toInt();
            return port > 0;
        }
    }
    return false;
}

QString FeedServer::url(const QString& path) const
{
    return QString("https://127.0.0.1:%1%2").arg(port).arg(path);
}

void FeedServer::put(const QString& path, const QByteArray& body) const
{
    const QString local = folder + path;
    QDir().mkpath(QFileInfo(local).path());
    QFile file(local);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(body);
}

void FeedServer::stall(const QString& path) const
{
    put(path + ".stall", QByteArray());
}

void FeedServer::withoutLength(const QString& path) const
{
    put(path + ".nolength", QByteArray());
}

void FeedServer::dribble(const QString& path) const
{
    put(path + ".dribble", QByteArray());
}

void FeedServer::cutShort(const QString& path) const
{
    put(path + ".short", QByteArray());
}

QStringList FeedServer::requests() const
{
    QFile file(folder + "/requests.log");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

bool FeedServer::waitForRequests(int count) const
{
    return QTest::qWaitFor([&] { return requests().size() >= count; }, 20000);
}

QByteArray gzipped(const QByteArray& data)
{
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 32, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

QByteArray exampleFeed(const QString& installerUrl, const QString& extraVersionAttributes)
{
    return QString(R"(<?xml version="1.0" encoding="UTF-8"?>
<quorbilan>
  <download windows="%1"/>
  <history>
    <version name="3.2" date="5.3.2026" %2>
      <item type="new"><html lang="en">**Faster** compaction of large profiles</html></item>
      <item type="fixed"><html lang="en">Read [the notes](https://www.example.com/notes)</html></item>
    </version>
    <version name="3.1" date="2.2.2026" noInstall="">
      <item type="improved"><html lang="en">A smaller window</html></item>
    </version>
    <version name="3.0.0" date="1.1.2026">
      <item type="new"><html lang="en">The running version</html></item>
    </version>
    <version name="2.9" date="1.6.2025"/>
  </history>
</quorbilan>
)")
        .arg(installerUrl, extraVersionAttributes)
        .toUtf8();
}

// A port merely freed again could go to another test's server started
// meanwhile; a socket bound to it that never listens keeps it refusing, and
// keeps every other program off it. Kept for the life of the process.
int closedPort()
{
    static QTcpSocket* const holder = [] {
        auto* socket = new QTcpSocket;
        socket->bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
        return socket;
    }();
    return holder->localPort();
}
