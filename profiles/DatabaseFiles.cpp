#include "DatabaseFiles.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>

namespace {

const QByteArray &sqliteHeader()
{
    static const QByteArray header("SQLite format 3", 16); // includes the terminating zero
    return header;
}

bool hasSqliteHeader(const QString &path)
{
    // Unbuffered: a buffered QFile would read a whole 16 KiB block of every
    // file in the folder to look at its first 16 bytes.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    return file.read(sqliteHeader().size()) == sqliteHeader();
}

QString utf8Text(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

QStringList listSqliteDatabases(const QString &folder, bool recursive)
{
    QStringList result;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return result;

    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        const QString path = it.next();
        if (hasSqliteHeader(path))
            result.append(path);
    }
    std::sort(result.begin(), result.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return result;
}

int vacuumProgressHandler(void *context)
{
    const auto *flag = static_cast<const std::atomic<bool> *>(context);
    return flag->load(std::memory_order_relaxed) ? 1 : 0;
}

VacuumResult vacuumDatabase(const QString &path, const std::atomic<bool> *stopFlag)
{
    VacuumResult result;

    // Without SQLITE_OPEN_CREATE: a file that vanished since it was listed
    // must not come back as an empty database.
    sqlite3 *db = nullptr;
    const QByteArray utf8Path = path.toUtf8();
    const int openCode = sqlite3_open_v2(utf8Path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (openCode != SQLITE_OK) {
        result.message = db ? utf8Text(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        // The folder is there but the file is not: the file was removed after
        // it was listed. That is no sign of a running program.
        const bool vanished = !QFileInfo::exists(path) && QFileInfo(path).absoluteDir().exists();
        result.status = (openCode == SQLITE_CANTOPEN && !vanished) ? VacuumStatus::CannotOpen
                                                                   : VacuumStatus::Error;
        if (vanished)
            result.message = QStringLiteral("the file no longer exists");
        sqlite3_close(db);
        return result;
    }

    if (stopFlag)
        sqlite3_progress_handler(db, 1000, vacuumProgressHandler,
                                 const_cast<std::atomic<bool> *>(stopFlag));

    char *errorText = nullptr;
    const int code = sqlite3_exec(db, "VACUUM", nullptr, nullptr, &errorText);
    if (errorText) {
        result.message = utf8Text(errorText);
        sqlite3_free(errorText);
    }

    switch (code) {
    case SQLITE_OK: result.status = VacuumStatus::Ok; break;
    case SQLITE_INTERRUPT: result.status = VacuumStatus::Cancelled; break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: result.status = VacuumStatus::Busy; break;
    case SQLITE_NOTADB: result.status = VacuumStatus::NotADatabase; break;
    default: result.status = VacuumStatus::Error; break;
    }

    sqlite3_close(db);
    return result;
}
