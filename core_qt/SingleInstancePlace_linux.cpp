#include "SingleInstancePlace.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder nobody else can put a socket or a lock into: a real directory (a
// link could be repointed), ours, and not writable by group or others.
bool isPrivateFolder(const QString& path)
{
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Our own folder `leaf` in `parent`, made if missing. One that is there
// already is checked like a new one: another user may have made it first.
QString ownFolderIn(const QString& parent, const QString& leaf)
{
    if (!QDir::isAbsolutePath(parent) || !QDir().mkpath(parent))
        return QString();
    const QString path = QDir(parent).filePath(leaf);
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    return isPrivateFolder(path) ? path : QString();
}

} // namespace

SingleInstancePlace singleInstancePlace(const QString& name)
{
    // The session's runtime folder where the desktop gives one; else a folder
    // of ours in the shared temp folder, named with the user id so that users
    // do not meet there; else, when another user holds that name, one in our
    // own cache folder.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!QDir::isAbsolutePath(folder) || !isPrivateFolder(folder)) {
        const QString leaf = name + QLatin1Char('-') + QString::number(::geteuid());
        folder = ownFolderIn(QDir::tempPath(), leaf);
        if (folder.isEmpty())
            folder = ownFolderIn(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), leaf);
    }
    if (folder.isEmpty())
        return {};
    const QString server = QDir(folder).filePath(name);
    return {server, server + QStringLiteral(".lock")};
}

bool servedBySameUser(const QLocalSocket& socket)
{
    // The credentials the server had when it listened.
    ucred peer{};
    socklen_t size = sizeof peer;
    const int fd = int(socket.socketDescriptor());
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}
