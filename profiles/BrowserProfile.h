#pragma once

#include <QString>
#include <QStringList>

class Browser;
struct DatabaseListing;

// One folder whose SQLite databases are compacted together: a profile that a
// program found, or a custom folder the user added (then `browser` is null).
class BrowserProfile
{
public:
    // A program's profile; `path` is already normalised by the caller.
    BrowserProfile(Browser* owner, const QString& name, const QString& path);
    // A custom profile; `family` may be empty.
    BrowserProfile(const QString& family, const QString& name, const QString& path);

    BrowserProfile(const BrowserProfile&) = delete;
    BrowserProfile& operator=(const BrowserProfile&) = delete;

    // The title or name as it may be shown: control characters made visible.
    QString displayName() const;
    QString programName() const;

    // Lists the folder's databases on the first call, then returns the cached list.
    const QStringList& databases();
    // Takes a listing of the folder made a moment ago as the cached list,
    // when there is none yet.
    void takeListing(DatabaseListing&& listing);
    // Size on disk of the listed files. The sizes the listing or a compaction
    // has just read serve the first total after them; every later total reads
    // the disk afresh, since something else may have changed the files.
    qint64 totalSize();
    // Size on disk of the listed files, read afresh.
    qint64 readTotalSize();
    // The sizes a compaction left, in the order of databaseFiles: they serve
    // the next total.
    void keepSizes(const QList<qint64>& sizes);

    // What listing the folder could not do, one line each: the folder could
    // not be read, a file name could not be decoded. Lists on the first call.
    QStringList listingProblems();

    // "<family>\t<path>", as custom profiles are kept in the settings.
    QString toSettingsString() const;

    QString name;
    QString title;
    QString path;
    QString family;
    Browser* browser = nullptr;
    bool custom = false;
    bool selected = true;
    QStringList databaseFiles;
    // Sizes as the listing or the last compaction read them, in the order of
    // databaseFiles; `sizesKept` while no total has used them yet.
    QList<qint64> databaseSizes;
    bool sizesKept = false;
    // The system's reason when the folder could not be read.
    QString folderError;
    // The folder holds a file whose name is not valid in the system's encoding.
    bool undecodableNames = false;
    bool databasesLoaded = false;
};
