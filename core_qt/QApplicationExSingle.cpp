#include "QApplicationExSingle.h"

#include "SingleInstancePlace.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

QApplicationExSingle::QApplicationExSingle(int& argc, char** argv, const QString& applicationName,
                                           const QString& serverName, Role role)
    : QApplicationEx(argc, argv, applicationName)
{
    // The socket and its lock live where only this user can write, so another
    // user can neither answer for us nor hold us up. Where no such place can
    // be had, starting unguarded beats not starting.
    const SingleInstancePlace place = singleInstancePlace(serverName);
    if (place.serverName.isEmpty())
        return;

    // Probe and listen are one step between starts: two starts at the same
    // moment would otherwise both find nobody and both serve. Qt takes over
    // the lock of a process that died holding it; a start that still cannot
    // get it after a while goes on as before rather than hang.
    QLockFile startLock(place.lockPath);
    if (role == Role::Serve)
        startLock.tryLock(10000);

    // The probe stays connected for the whole run; nothing passes over it.
    localSocket = new QLocalSocket(this);
    localSocket->connectToServer(place.serverName, QIODevice::ReadWrite);
    if (localSocket->waitForConnected(500)) {
        if (servedBySameUser(*localSocket)) {
            anotherInstanceRunning = true;
            return;
        }
        localSocket->abort();
    }
    if (role == Role::ProbeOnly)
        return;

    localServer = new QLocalServer(this);
    localServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(localServer, &QLocalServer::newConnection, this, &QApplicationExSingle::takePendingConnections);
    // Nobody of ours answered, so a socket file under this name is left over
    // from a crash (or was put there by someone else); it would make listen
    // fail and disable detection for good.
    QLocalServer::removeServer(place.serverName);
    // A failed listen leaves this instance running without a server.
    localServer->listen(place.serverName);
}

// Every start is taken and closed at once: an untaken backlog stops signalling
// after a few dozen starts and finally lets a second instance run.
void QApplicationExSingle::takePendingConnections()
{
    while (QLocalSocket* connection = localServer->nextPendingConnection()) {
        connection->abort();
        connection->deleteLater();
        emit anotherInstanceStarted();
    }
}
