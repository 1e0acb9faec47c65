#pragma once

#include <QString>
#include <QStringList>

#include <atomic>

// Outcome of compacting one database file.
enum class VacuumStatus {
    Ok = 0,
    Cancelled = 1,    // the stop flag interrupted the statement; the file is unchanged
    Busy = 2,         // another process holds the database
    NotADatabase = 3, // encrypted, or not a valid database
    CannotOpen = 4,
    Error = 5,
};

struct VacuumResult
{
    VacuumStatus status = VacuumStatus::Error;
    QString message;

    // Busy and CannotOpen mean the owning program still has the file open:
    // a run stops on them.
    bool isFatal() const
    {
        return status == VacuumStatus::Busy || status == VacuumStatus::CannotOpen;
    }
};

// Full paths of the SQLite files directly in `folder` (or below it when
// `recursive`), recognised by their 16-byte header, sorted ignoring case.
QStringList listSqliteDatabases(const QString &folder, bool recursive);

// Rewrites one database with VACUUM. A non-null `stopFlag` is polled every
// 1000 SQLite steps, but SQLite only acts on it while it builds the compacted
// copy (roughly the first third of the VACUUM): the statement is then
// abandoned and the file stays as it was. Once the copy is written back the
// flag is no longer looked at and the VACUUM completes. A file that does not
// exist is never created.
VacuumResult vacuumDatabase(const QString &path, const std::atomic<bool> *stopFlag);

// SQLite's progress callback: non-zero (abandon the statement) once the flag is set.
int vacuumProgressHandler(void *context);
