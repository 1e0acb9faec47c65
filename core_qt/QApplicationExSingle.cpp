#include "QApplicationExSingle.h"

#include <QLocalServer>
#include <QLocalSocket>

QApplicationExSingle::QApplicationExSingle(int& argc, char** argv, const QString& applicationName,
                                           const QString& serverName, Role role)
    : QApplicationEx(argc, argv, applicationName)
{
    // The probe stays connected for the whole run; nothing passes over it.
    localSocket = new QLocalSocket(this);
    localSocket->connectToServer(serverName, QIODevice::ReadWrite);
    if (localSocket->waitForConnected(500)) {
        anotherInstanceRunning = true;
        return;
    }
    if (role == Role::ProbeOnly)
        return;

    localServer = new QLocalServer(this);
    localServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(localServer, &QLocalServer::newConnection, this,
            &QApplicationExSingle::takePendingConnections);
    // Nobody answered, so a socket file under this name is left over from a
    // crash; it would make listen fail and disable detection for good.
    QLocalServer::removeServer(serverName);
    // A failed listen leaves this instance running without a server.
    localServer->listen(serverName);
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
