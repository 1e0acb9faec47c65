#include "ChromiumFamilyBrowser.h"

#include "PathHelpers.h"
#include "ProgramLocation.h"
#include "RegularFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

// Folders Chromium makes for itself; never a user's profile.
const QStringList& excludedFolders()
{
    static const QStringList names = {QStringLiteral("Guest Profile"), QStringLiteral("System Profile")};
    return names;
}

QStringList subfolders(const QString& dir)
{
    return QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Chromium names its profile folders by their plain names. A key of "Local
// State" that is a path ("Default/", "../Other/Profile") would add a folder
// twice or one outside the user-data folder.
bool isPlainFolderName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

} // namespace

QHash<QString, QString> readLocalState(const QString& userDataDir)
{
    QHash<QString, QString> names;
    QByteArray data;
    if (!RegularFile::readAll(userDataDir + QStringLiteral("/Local State"), data))
        return names;
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return names;
    const QJsonObject infoCache
        = document.object().value(QLatin1String("profile")).toObject().value(QLatin1String("info_cache")).toObject();
    for (auto it = infoCache.begin(); it != infoCache.end(); ++it)
        names.insert(it.key(), it.value().toObject().value(QLatin1String("name")).toString());
    return names;
}

ChromiumFamilyBrowser::ChromiumFamilyBrowser(ChromiumBrowserInfo row)
    : TableBrowser(std::move(row))
{
}

QString ChromiumFamilyBrowser::familyName() const
{
    return QStringLiteral("Chromium");
}

bool ChromiumFamilyBrowser::isProfileFolder(const QString& folder) const
{
    int found = 0;
    for (const char* name : {"Preferences", "History", "Cookies", "Web Data"}) {
        if (fileExistsIn(folder, QString::fromLatin1(name)))
            ++found;
    }
    return found >= 2;
}

QStringList ChromiumFamilyBrowser::listProfileFolders(const QString& userDataDir,
                                                      const QHash<QString, QString>& names) const
{
    QStringList candidates;
    if (!names.isEmpty()) {
        // "Local State" is the program's own list: folders it no longer names
        // were deleted by the user, even when they are still on disk.
        for (auto it = names.cbegin(); it != names.cend(); ++it) {
            if (isPlainFolderName(it.key()))
                candidates.append(it.key());
        }
        std::sort(candidates.begin(), candidates.end());
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    } else {
        for (const QString& folder : subfolders(userDataDir)) {
            if (!excludedFolders().contains(folder, Qt::CaseInsensitive))
                candidates.append(folder);
        }
    }

    QStringList result;
    for (const QString& candidate : std::as_const(candidates)) {
        if (isProfileFolder(userDataDir + QLatin1Char('/') + candidate))
            result.append(candidate);
    }
    const qsizetype defaultIndex = result.indexOf(QStringLiteral("Default"));
    if (defaultIndex > 0)
        result.move(defaultIndex, 0);
    return result;
}

void ChromiumFamilyBrowser::loadProfiles()
{
    const QString base = info.roaming ? appDataDir() : localAppDataDir();
    const QString userDataDir = joinPath(base, info.dataPath);
    if (userDataDir.isEmpty() || !QFileInfo(userDataDir).isDir())
        return;
    if (info.singleProfileLayout)
        loadSingleProfileLayout(userDataDir);
    else
        loadUsualLayout(userDataDir);
}

void ChromiumFamilyBrowser::loadSingleProfileLayout(const QString& userDataDir)
{
    if (isProfileFolder(userDataDir))
        addProfile(QStringLiteral("Default"), userDataDir);

    const QString sideProfiles = userDataDir + QStringLiteral("/_side_profiles");
    if (!QFileInfo(sideProfiles).isDir())
        return;
    for (const QString& folder : subfolders(sideProfiles)) {
        const QString path = sideProfiles + QLatin1Char('/') + folder;
        if (isProfileFolder(path))
            addProfile(folder, path);
    }
}

void ChromiumFamilyBrowser::loadUsualLayout(const QString& userDataDir)
{
    const QHash<QString, QString> names = readLocalState(userDataDir);
    for (const QString& folder : listProfileFolders(userDataDir, names)) {
        BrowserProfile* profile = addProfile(folder, userDataDir + QLatin1Char('/') + folder);
        const QString userName = names.value(folder);
        if (!userName.isEmpty() && userName != folder)
            profile->title = QStringLiteral("%1 (%2)").arg(folder, userName);
    }
}
