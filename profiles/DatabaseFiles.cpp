#include "DatabaseFiles.h"

#include "RegularFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <vector>

namespace {

const QByteArray& sqliteHeader()
{
    static const QByteArray header("SQLite format 3", 16); // includes the terminating zero
    return header;
}

QString utf8Text(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// SQLite's unix file layer refuses longer paths with the same code as a
// missing folder.
constexpr qsizetype sqliteMaxPathBytes = 512;

// Why a file that was listed cannot be opened any more; empty when it still
// looks like the database it was.
QString openFailureReason(const QString& path, const RegularFile::Examination& examination)
{
    switch (examination.kind) {
    case RegularFile::Kind::Missing:
        return QFileInfo(path).absoluteDir().exists() ? QStringLiteral("the file no longer exists")
                                                      : QStringLiteral("the folder no longer exists");
    case RegularFile::Kind::NotRegular:
        return QStringLiteral("the file is no longer a regular file");
    case RegularFile::Kind::Unreadable:
        return examination.error;
    case RegularFile::Kind::Regular:
    case RegularFile::Kind::InUse:
        break;
    }
    return QString();
}

} // namespace

DatabaseListing scanSqliteDatabases(const QString& folder, bool recursive)
{
    DatabaseListing listing;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return listing;

    struct Found
    {
        QString path;
        qint64 size;
    };
    std::vector<Found> found;
    const auto examine = [&found](const QString& path) {
        const RegularFile::Examination examination = RegularFile::examine(path, int(sqliteHeader().size()));
        if (examination.kind == RegularFile::Kind::Regular && examination.head == sqliteHeader())
            found.push_back({path, examination.size});
    };
    if (recursive) {
        QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            examine(it.next());
    } else {
        const RegularFile::FolderEntries entries = RegularFile::listFolder(folder);
        listing.folderError = entries.error;
        listing.undecodableNames = entries.undecodableNames;
        const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        for (const QString& name : entries.names)
            examine(prefix + name);
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.path.compare(b.path, Qt::CaseInsensitive) < 0; });
    listing.files.reserve(qsizetype(found.size()));
    listing.sizes.reserve(qsizetype(found.size()));
    for (const Found& file : found) {
        listing.files.append(file.path);
        listing.sizes.append(file.size);
    }
    return listing;
}

QStringList listSqliteDatabases(const QString& folder, bool recursive)
{
    return scanSqliteDatabases(folder, recursive).files;
}

int vacuumProgressHandler(void* context)
{
    const auto* flag = static_cast<const std::atomic<bool>*>(context);
    return flag->load(std::memory_order_relaxed) ? 1 : 0;
}

VacuumResult vacuumDatabase(const QString& path, const std::atomic<bool>* stopFlag)
{
    VacuumResult result;

    // The file may have changed since it was listed. VACUUM would turn an
    // emptied file into a new empty database, so it must still start with
    // the header.
    const RegularFile::Examination before = RegularFile::examine(path, int(sqliteHeader().size()));
    if (before.kind == RegularFile::Kind::InUse) {
        result.status = VacuumStatus::CannotOpen;
        result.message = before.error;
        return result;
    }
    result.message = openFailureReason(path, before);
    if (!result.message.isEmpty())
        return result;
    result.sizeBefore = before.size;
    if (before.head != sqliteHeader()) {
        result.status = VacuumStatus::NotADatabase;
        return result;
    }

    // Without SQLITE_OPEN_CREATE: a file that vanished since it was examined
    // must not come back as an empty database.
    sqlite3* db = nullptr;
    const QByteArray utf8Path = path.toUtf8();
    const int openCode = sqlite3_open_v2(utf8Path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (openCode != SQLITE_OK) {
        // A running program shows as a lock (SQLITE_BUSY) once the file is
        // open; an open that fails has another cause.
        result.message = db ? utf8Text(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        const RegularFile::Examination after = RegularFile::examine(path, 0);
        if (after.kind == RegularFile::Kind::InUse) {
            result.status = VacuumStatus::CannotOpen;
            return result;
        }
        const QString reason = openFailureReason(path, after);
        if (!reason.isEmpty())
            result.message = reason;
        else if (openCode == SQLITE_CANTOPEN && utf8Path.size() >= sqliteMaxPathBytes)
            result.message = QStringLiteral("the path is too long");
        return result;
    }

    if (stopFlag)
        sqlite3_progress_handler(db, 1000, vacuumProgressHandler, const_cast<std::atomic<bool>*>(stopFlag));

    char* errorText = nullptr;
    const int code = sqlite3_exec(db, "VACUUM", nullptr, nullptr, &errorText);
    if (errorText) {
        result.message = utf8Text(errorText);
        sqlite3_free(errorText);
    }

    switch (code) {
    case SQLITE_OK:
        result.status = VacuumStatus::Ok;
        break;
    case SQLITE_INTERRUPT:
        result.status = VacuumStatus::Cancelled;
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        result.status = VacuumStatus::Busy;
        break;
    case SQLITE_NOTADB:
        result.status = VacuumStatus::NotADatabase;
        break;
    default:
        result.status = VacuumStatus::Error;
        break;
    }

    sqlite3_close(db);
    return result;
}
