#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// What another user of the machine can do to a program's shared folders: the
// tests run as root and drop to `nobody` for it.
namespace OtherUser {

inline bool available()
{
    return ::geteuid() == 0;
}

// `command` run as the user nobody.
inline QStringList asNobody(const QStringList& command)
{
    return QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"} + command;
}

// Runs a command as nobody to its end; true when it succeeded.
inline bool run(const QStringList& command)
{
    const QStringList full = asNobody(command);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(full.first(), full.mid(1));
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A fresh folder that every user may write into, sticky as /tmp is, below a
// folder everyone can reach.
inline QString makeSharedFolder(const QString& parent)
{
    const QString path = QDir(parent).filePath("shared");
    if (!QDir().mkpath(path) || ::chmod(QFile::encodeName(parent).constData(), 0755) != 0
        || ::chmod(QFile::encodeName(path).constData(), 01777) != 0)
        return QString();
    return path;
}

// A local socket server at `path` that anyone may connect to, while the object
// lives. It never accepts: a connection waits in its backlog, as a busy or
// hostile server's would. Served by nobody, or by this process's user when
// `asNobody` is false.
class Listener
{
public:
    explicit Listener(const QString& path, bool asNobody = true)
    {
        // The system's Python: one of the test user's own may sit where nobody
        // cannot reach it.
        const QString python = QStandardPaths::findExecutable("python3", {"/usr/bin", "/bin", "/usr/local/bin"});
        const QStringList command{python, "-c",
                                  "import os, socket, sys\n"
                                  "s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)\n"
                                  "s.bind(sys.argv[1])\n"
                                  "os.chmod(sys.argv[1], 0o777)\n"
                                  "s.listen(64)\n"
                                  "print('listening', flush=True)\n"
                                  "sys.stdin.read()\n",
                                  path};
        const QStringList full = asNobody ? OtherUser::asNobody(command) : command;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(full.first(), full.mid(1));
        while (!process.canReadLine() && process.waitForReadyRead(60000)) { }
        listening = process.readLine().trimmed() == "listening";
    }
    ~Listener()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            process.kill();
        process.waitForFinished(60000);
    }

    bool listening = false;

private:
    QProcess process;
};

} // namespace OtherUser
