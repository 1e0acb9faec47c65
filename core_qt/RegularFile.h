#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reads of files that other programs own (databases, profile lists, language
// files). A FIFO, socket or device under a familiar name must never block the
// program, so each file is opened in a way that cannot wait and is read only
// when it is a regular file after following links.
namespace RegularFile {

enum class Kind {
    Regular,
    Missing, // nothing at the path (or a link to nothing)
    NotRegular, // a folder, FIFO, socket or device
    Unreadable, // there, but it cannot be opened (permissions, path too long ...)
    InUse, // another program holds it open and lets nobody read (Windows)
};

struct Examination
{
    Kind kind = Kind::Missing;
    qint64 size = -1; // from the same status call; -1 unless Regular
    QByteArray head; // the first bytes, up to the number asked for
    QString error; // the system's reason when not Regular
};

// One open that cannot block, one status call, one read of at most
// `headBytes` bytes, close.
Examination examine(const QString& path, int headBytes);

// The whole file, when it is a regular one of at most `maxBytes`; false
// (and `contents` empty) otherwise.
bool readAll(const QString& path, QByteArray& contents, qint64 maxBytes = 64 * 1024 * 1024);

struct FolderEntries
{
    // Names of the entries that are not hidden and may be files, in the
    // system's order: folders, FIFOs, sockets and devices are left out, links
    // are listed whatever they point to.
    QStringList names;
    // An entry's name is not valid in the system's encoding: it cannot be
    // opened by any decoded name, so it is counted here instead.
    bool undecodableNames = false;
    // The system's reason when the folder cannot be read.
    QString error;
};

FolderEntries listFolder(const QString& folder);

} // namespace RegularFile
