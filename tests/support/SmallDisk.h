#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

// A small tmpfs mounted on `where` for as long as it lives, for tests of a
// full disk. Mounting needs root (or CAP_SYS_ADMIN): error() says why it
// failed, and is empty when the disk is there.
class SmallDisk
{
public:
    SmallDisk(const QString& where, const QByteArray& size)
        : where(where)
    {
        QDir().mkpath(where);
        if (::mount("tmpfs", QFile::encodeName(where).constData(), "tmpfs", 0, ("size=" + size).constData()) != 0)
            failure = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (failure.isEmpty())
            ::umount2(QFile::encodeName(where).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    QString error() const { return failure; }

    // Fills the disk, then frees the last `room` bytes again.
    bool fill(qint64 room)
    {
        QFile filler(where + "/filler");
        if (!filler.open(QIODevice::WriteOnly))
            return false;
        const QByteArray chunk(4096, 'f');
        while (filler.write(chunk) == chunk.size() && filler.flush()) { }
        filler.close();
        return filler.resize(qMax<qint64>(0, filler.size() - room));
    }

private:
    QString where;
    QString failure;
};
