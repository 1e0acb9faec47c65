#pragma once

#include <QString>
#include <QStringList>

#include <atomic>

// Outcome of compacting one database file.
enum class VacuumStatus {
    Ok = 0,
    Cancelled = 1, // the stop flag interrupted the statement; the file is unchanged
    Busy = 2, // another process holds the database
    NotADatabase = 3, // encrypted, or not a valid database
    CannotOpen = 4,
    Error = 5,
};

struct VacuumResult
{
    VacuumStatus status = VacuumStatus::Error;
    QString message;
    // Size of the file as it was examined before the VACUUM; -1 when it was
    // not a regular file.
    qint64 sizeBefore = -1;

    // Busy (SQLite's lock) and CannotOpen (the system refused the file because
    // another program holds it) mean the owning program still has the file
    // open: a run stops on them. Every other failure is one file's problem.
    bool isFatal() const { return status == VacuumStatus::Busy || status == VacuumStatus::CannotOpen; }
};

// What listing a folder for databases found.
struct DatabaseListing
{
    // Full paths, sorted ignoring case.
    QStringList files;
    // Each file's size when its header was read, in the order of `files`.
    QList<qint64> sizes;
    // The system's reason when the folder itself cannot be read.
    QString folderError;
    // Some entry's name is not valid in the system's encoding, so it could
    // not be opened by that name.
    bool undecodableNames = false;
};

// The SQLite files directly in `folder` (or below it when `recursive`),
// recognised by their 16-byte header. Only regular files (after following
// links) are read.
DatabaseListing scanSqliteDatabases(const QString& folder, bool recursive);
QStringList listSqliteDatabases(const QString& folder, bool recursive);

// Rewrites one database with VACUUM. A non-null `stopFlag` is polled every
// 1000 SQLite steps, but SQLite only acts on it while it builds the compacted
// copy (roughly the first third of the VACUUM): the statement is then
// abandoned and the file stays as it was. Once the copy is written back the
// flag is no longer looked at and the VACUUM completes. A file that does not
// exist is never created, and one that no longer holds a database header is
// left alone (NotADatabase).
VacuumResult vacuumDatabase(const QString& path, const std::atomic<bool>* stopFlag);

// SQLite's progress callback: non-zero (abandon the statement) once the flag is set.
int vacuumProgressHandler(void* context);
