#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// Certificates for the local HTTPS servers of the update tests, made with
// openssl by make_test_certs.sh: a CA the program is told to trust, a
// 127.0.0.1 certificate signed by it, and one signed by a CA it does not know.
struct TestCertificates
{
    QString caFile;
    QString certFile;
    QString keyFile;
    QString untrustedCertFile;
    QString untrustedKeyFile;

    // Makes all of them below `folder`; false when openssl failed.
    bool make(const QString& folder);
};

// A python HTTPS server on 127.0.0.1 over the files of a folder (see
// feed_server.py for what it does beside serving them).
class FeedServer
{
public:
    ~FeedServer();

    bool start(const QString& root, const QString& certFile, const QString& keyFile);
    QString url(const QString& path) const;
    QString root() const { return folder; }

    // Writes a file the server serves at `path`, with the given time.
    void put(const QString& path, const QByteArray& body) const;
    // The server takes requests for `path` and never answers them.
    void stall(const QString& path) const;
    void withoutLength(const QString& path) const;
    // The server sends the body of `path` one byte a second.
    void dribble(const QString& path) const;
    // The server announces the whole length of `path` but sends half of it.
    void cutShort(const QString& path) const;

    // "<path> <status> <If-Modified-Since or ->" per request so far.
    QStringList requests() const;
    // Waits until `count` requests arrived.
    bool waitForRequests(int count) const;

private:
    QProcess process;
    QString folder;
    int port = 0;
};

// The bytes in a gzip wrapper, as the feed is stored on the server.
QByteArray gzipped(const QByteArray& data);

// An update feed with a history of 3.2, 3.1, 3.0.0 and 2.9, whose installer is
// at `installerUrl`; `extraVersionAttributes` goes into the 3.2 element.
QByteArray exampleFeed(const QString& installerUrl, const QString& extraVersionAttributes = QString());

// A port on 127.0.0.1 that refuses connections for as long as the test runs.
int closedPort();
