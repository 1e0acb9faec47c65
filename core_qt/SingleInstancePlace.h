#pragma once

#include <QString>

class QLocalSocket;

// Where the instances of one user find each other: a local server name that
// no other user can serve or take, and beside it the lock that makes probing
// and listening one step. Both are empty when no such place can be had; the
// start then runs without the guard rather than not at all.
struct SingleInstancePlace
{
    QString serverName;
    QString lockPath;
};

SingleInstancePlace singleInstancePlace(const QString& name);

// Whether the server at the other end of a connected socket runs as this
// user: a server of another one is never taken for an instance of ours.
bool servedBySameUser(const QLocalSocket& socket);
