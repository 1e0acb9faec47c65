#include "FeedServer.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTest>

#include <zlib.h>

namespace {

bool openssl(const QStringList& args, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", args);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
                    && process.exitCode() == 0;
    if (!ok)
        qWarning("openssl %s: %s", qPrintable(args.join(' ')), process.readAll().constData());
    return ok;
}

bool makeCa(const QString& folder, const QString& name)
{
    return openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                    "/CN=Quorbilan test " + name, "-keyout", name + ".key", "-out", name + ".pem"},
                   folder);
}

bool makeServerCertificate(const QString& folder, const QString& ca, const QString& name)
{
    QFile ext(folder + "/san.ext");
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n");
    ext.close();
    return openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", name + ".key",
                    "-out", name + ".csr"},
                   folder)
           && openssl({"x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
                       "-CAcreateserial", "-days", "2", "-extfile", "san.ext", "-out", name + ".pem"},
                      folder);
}

} // namespace

bool TestCertificates::make(const QString& folder)
{
    QDir().mkpath(folder);
    if (!makeCa(folder, "ca") || !makeCa(folder, "otherca") || !makeServerCertificate(folder, "ca", "server")
        || !makeServerCertificate(folder, "otherca", "untrusted"))
        return false;
    caFile = folder + "/ca.pem";
    certFile = folder + "/server.pem";
    keyFile = folder + "/server.key";
    untrustedCertFile = folder + "/untrusted.pem";
    untrustedKeyFile = folder + "/untrusted.key";
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

int closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const int port = server.serverPort();
    server.close();
    return port;
}
