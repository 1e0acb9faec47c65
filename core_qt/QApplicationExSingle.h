#pragma once

#include "QApplicationEx.h"

class QLocalServer;
class QLocalSocket;

// An application that knows whether another instance of it runs: the first
// instance serves a local socket; a later start connects to it, which tells
// the first one through anotherInstanceStarted().
class QApplicationExSingle : public QApplicationEx
{
    Q_OBJECT

public:
    QApplicationExSingle(int& argc, char** argv, const QString& applicationName,
                         const QString& serverName);

    // Decided once in the constructor.
    bool anotherInstanceRunning = false;

signals:
    void anotherInstanceStarted();

private:
    void takePendingConnections();

    QLocalSocket* localSocket = nullptr;
    QLocalServer* localServer = nullptr;
};
