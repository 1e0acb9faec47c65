#pragma once

#include <QString>
#include <QStringList>

class Browser;

// One folder whose SQLite databases are compacted together: a profile that a
// program found, or a custom folder the user added (then `browser` is null).
class BrowserProfile
{
public:
    // A program's profile; `path` is already normalised by the caller.
    BrowserProfile(Browser *owner, const QString &name, const QString &path);
    // A custom profile; `family` may be empty.
    BrowserProfile(const QString &family, const QString &name, const QString &path);

    BrowserProfile(const BrowserProfile &) = delete;
    BrowserProfile &operator=(const BrowserProfile &) = delete;

    // The title or name as it may be shown: control characters made visible.
    QString displayName() const;
    QString programName() const;

    // Lists the folder's databases on the first call, then returns the cached list.
    const QStringList &databases();
    // Current size on disk of the listed files; sizes are read afresh every time.
    qint64 totalSize();

    // What listing the folder could not do, one line each: the folder could
    // not be read, a file name could not be decoded. Lists on the first call.
    QStringList listingProblems();

    // "<family>\t<path>", as custom profiles are kept in the settings.
    QString toSettingsString() const;

    QString name;
    QString title;
    QString path;
    QString family;
    Browser *browser = nullptr;
    bool custom = false;
    bool selected = true;
    QStringList databaseFiles;
    // Sizes when the files were listed, in the order of databaseFiles.
    QList<qint64> databaseSizes;
    // The system's reason when the folder could not be read.
    QString folderError;
    // The folder holds a file whose name is not valid in the system's encoding.
    bool undecodableNames = false;
    bool databasesLoaded = false;
};
