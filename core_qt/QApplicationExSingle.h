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
    // Serve: probe, and become the instance that later starts reach when no
    // other answers. ProbeOnly: tell a running instance, but never answer
    // later starts (a run that has no window to bring forward).
    enum class Role { Serve, ProbeOnly };

    QApplicationExSingle(int& argc, char** argv, const QString& applicationName, const QString& serverName,
                         Role role = Role::Serve);

    // Decided once in the constructor.
    bool anotherInstanceRunning = false;

signals:
    void anotherInstanceStarted();

private:
    void takePendingConnections();

    QLocalSocket* localSocket = nullptr;
    QLocalServer* localServer = nullptr;
};
