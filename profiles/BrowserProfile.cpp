#include "BrowserProfile.h"

#include "Browser.h"
#include "DatabaseFiles.h"
#include "VisibleText.h"

#include <QDir>
#include <QFileInfo>

BrowserProfile::BrowserProfile(Browser* owner, const QString& name, const QString& path)
    : name(name)
    , path(path)
    , browser(owner)
{
    if (owner)
        family = owner->familyName();
}

BrowserProfile::BrowserProfile(const QString& family, const QString& name, const QString& path)
    : name(name)
    , path(path)
    , family(family)
    , custom(true)
{
}

QString BrowserProfile::displayName() const
{
    if (!title.isEmpty())
        return visibleText(title);
    if (custom && !family.isEmpty())
        return visibleText(QStringLiteral("%1  [%2]").arg(name, family));
    return visibleText(name);
}

QString BrowserProfile::programName() const
{
    if (browser)
        return browser->name();
    if (!family.isEmpty())
        return family;
    return name;
}

const QStringList& BrowserProfile::databases()
{
    if (!databasesLoaded)
        takeListing(scanSqliteDatabases(path, false));
    return databaseFiles;
}

void BrowserProfile::takeListing(DatabaseListing&& listing)
{
    if (databasesLoaded)
        return;
    databaseFiles = std::move(listing.files);
    databaseSizes = std::move(listing.sizes);
    folderError = std::move(listing.folderError);
    undecodableNames = listing.undecodableNames;
    sizesKept = databaseSizes.size() == databaseFiles.size();
    databasesLoaded = true;
}

qint64 BrowserProfile::totalSize()
{
    databases();
    if (!sizesKept)
        return readTotalSize();
    sizesKept = false;
    qint64 total = 0;
    for (const qint64 size : std::as_const(databaseSizes))
        total += size;
    return total;
}

qint64 BrowserProfile::readTotalSize()
{
    qint64 total = 0;
    for (const QString& file : databases())
        total += QFileInfo(file).size(); // 0 for a file that is gone
    return total;
}

void BrowserProfile::keepSizes(const QList<qint64>& sizes)
{
    databaseSizes = sizes;
    sizesKept = sizes.size() == databaseFiles.size();
}

QStringList BrowserProfile::listingProblems()
{
    databases();
    QStringList lines;
    if (undecodableNames) {
        lines << QStringLiteral("Warning: a file name in %1 is not valid in the system's encoding, the file is skipped")
                     .arg(visibleText(QDir::toNativeSeparators(path)));
    }
    if (!folderError.isEmpty())
        lines << QStringLiteral("Error: the folder cannot be read: %1").arg(folderError);
    return lines;
}

QString BrowserProfile::toSettingsString() const
{
    return family + QLatin1Char('\t') + path;
}
