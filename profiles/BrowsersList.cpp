#include "BrowsersList.h"

#include "AppSettings.h"
#include "ChromiumFamilyBrowser.h"
#include "DatabaseFiles.h"
#include "FirefoxFamilyBrowser.h"
#include "PathHelpers.h"
#include "PlexBrowser.h"
#include "ProgramLocation.h"
#include "SettingsKeys.h"
#include "SyncthingBrowser.h"
#include "ViberBrowser.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

bool splitSettingsEntry(const QString& entry, QString& family, QString& path)
{
    const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
    if (tab < 0)
        return false;
    family = entry.left(tab);
    path = entry.mid(tab + 1);
    return !path.isEmpty();
}

BrowsersList::BrowsersList()
{
    populate();
}

BrowsersList::~BrowsersList()
{
    m_customProfiles.clear();
    m_browsers.clear();
}

void BrowsersList::populate()
{
    for (FirefoxBrowserInfo& row : firefoxBrowserTable())
        m_browsers.push_back(std::make_unique<FirefoxFamilyBrowser>(std::move(row)));
    for (ChromiumBrowserInfo& row : chromiumBrowserTable())
        m_browsers.push_back(std::make_unique<ChromiumFamilyBrowser>(std::move(row)));
    m_browsers.push_back(std::make_unique<ViberBrowser>());
    m_browsers.push_back(std::make_unique<SyncthingBrowser>());
    m_browsers.push_back(std::make_unique<PlexBrowser>());
}

void BrowsersList::reloadAll()
{
    const ProgramLookupScope lookups;
    for (const auto& browser : m_browsers) {
        browser->loadProfiles();
        browser->resolveProgramPath();
    }
}

void BrowsersList::loadSettings(AppSettings* settings)
{
    if (!settings)
        return;

    // The family is detected afresh: the folder's content may have changed,
    // and a folder that lost its databases is dropped at the next save.
    for (const QString& entry : settings->valueStringList(SettingCustomProfiles)) {
        QString family;
        QString path;
        if (splitSettingsEntry(entry, family, path) && QFileInfo(path).isDir())
            addCustomProfile(path);
    }

    // An empty list keeps every profile ticked: nothing was chosen yet.
    const QStringList selected = settings->valueStringList(SettingSelectedProfiles);
    if (selected.isEmpty())
        return;
    for (BrowserProfile* profile : allProfiles())
        profile->selected = selected.contains(profile->path, Qt::CaseInsensitive);
}

void BrowsersList::saveSettings(AppSettings* settings) const
{
    if (!settings)
        return;
    QStringList selected;
    QStringList custom;
    for (const BrowserProfile* profile : allProfiles()) {
        if (profile->selected)
            selected.append(profile->path);
        if (profile->custom)
            custom.append(profile->toSettingsString());
    }
    settings->setValueStringList(SettingSelectedProfiles, selected);
    settings->setValueStringList(SettingCustomProfiles, custom);
}

void BrowsersList::loadDatabaseLists()
{
    for (BrowserProfile* profile : allProfiles())
        profile->databases();
}

std::vector<BrowserProfile*> BrowsersList::allProfiles() const
{
    std::vector<BrowserProfile*> result;
    for (const auto& browser : m_browsers) {
        for (const auto& profile : browser->profiles())
            result.push_back(profile.get());
    }
    for (const auto& profile : m_customProfiles)
        result.push_back(profile.get());
    return result;
}

std::vector<Browser*> BrowsersList::browsersWithProfiles() const
{
    std::vector<Browser*> result;
    for (const auto& browser : m_browsers) {
        if (!browser->profiles().empty())
            result.push_back(browser.get());
    }
    return result;
}

BrowserProfile* BrowsersList::findProfileByPath(const QString& path) const
{
    // "D:/P/" is the folder "D:/P": the trailing separator goes too.
    const QString wanted = normalizePath(path);
    for (BrowserProfile* profile : allProfiles()) {
        if (profile->path.compare(wanted, Qt::CaseInsensitive) == 0)
            return profile;
    }
    return nullptr;
}

BrowserProfile* BrowsersList::addCustomProfile(const QString& path)
{
    const QString folder = normalizePath(path);
    if (BrowserProfile* known = findProfileByPath(folder))
        return known;
    DatabaseListing listing = scanSqliteDatabases(folder, false);
    if (listing.files.isEmpty())
        return nullptr;

    QString family;
    for (const auto& browser : m_browsers) {
        if (browser->isProfileFolder(folder)) {
            family = browser->familyName();
            break;
        }
    }
    m_customProfiles.push_back(std::make_unique<BrowserProfile>(family, QFileInfo(folder).fileName(), folder));
    // The check above has just listed the folder: no need to open every file again.
    m_customProfiles.back()->takeListing(std::move(listing));
    return m_customProfiles.back().get();
}

void BrowsersList::removeCustomProfile(BrowserProfile* profile)
{
    if (!profile || !profile->custom)
        return;
    auto it = std::find_if(m_customProfiles.begin(), m_customProfiles.end(),
                           [profile](const auto& owned) { return owned.get() == profile; });
    if (it != m_customProfiles.end())
        m_customProfiles.erase(it);
}

QStringList BrowsersList::processNamesForFamily(const QString& family) const
{
    QStringList result;
    if (family.isEmpty())
        return result;
    for (const auto& browser : m_browsers) {
        if (browser->familyName() != family)
            continue;
        for (const QString& name : browser->processNames()) {
            if (!result.contains(name, Qt::CaseInsensitive))
                result.append(name);
        }
    }
    return result;
}

std::vector<ProgramProcessNames> BrowsersList::programsForProfiles(const std::vector<BrowserProfile*>& profiles) const
{
    std::vector<ProgramProcessNames> result;
    for (const BrowserProfile* profile : profiles) {
        ProgramProcessNames pair = profile->browser
            ? ProgramProcessNames(profile->browser->name(), profile->browser->processNames())
            : ProgramProcessNames(profile->family, processNamesForFamily(profile->family));
        if (pair.second.isEmpty())
            continue;
        const bool known = std::any_of(result.begin(), result.end(),
                                       [&pair](const ProgramProcessNames& other) { return other.first == pair.first; });
        if (!known)
            result.push_back(std::move(pair));
    }
    return result;
}

std::vector<BrowserProfile*> BrowsersList::parseCommandLineArgument(const QString& argument, QString& error)
{
    std::vector<BrowserProfile*> result;
    const QString syntaxError = QStringLiteral("Error: invalid command line syntax near %1").arg(argument);
    if (!argument.startsWith(QLatin1Char('/')) && !argument.startsWith(QLatin1Char('-'))) {
        error = syntaxError;
        return result;
    }
    const qsizetype colon = argument.indexOf(QLatin1Char(':'));
    if (colon <= 1) {
        error = syntaxError;
        return result;
    }
    const QString program = argument.mid(1, colon - 1);
    const QString rest = argument.mid(colon + 1);

    auto match = std::find_if(m_browsers.begin(), m_browsers.end(), [&program](const auto& browser) {
        return browser->name().compare(program, Qt::CaseInsensitive) == 0;
    });
    if (match == m_browsers.end()) {
        error = QStringLiteral("Error: unknown program name %1").arg(program);
        return result;
    }
    Browser* browser = match->get();

    if (rest.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        for (const auto& profile : browser->profiles())
            result.push_back(profile.get());
    } else if (QFileInfo(rest).isDir()) {
        // A folder wins over a profile of that name, whoever owns it. A
        // relative folder is taken from the current folder, so "." or
        // "Profiles/x" find the profile that folder already is.
        const QString folder = QDir::cleanPath(QFileInfo(rest).absoluteFilePath());
        BrowserProfile* profile = findProfileByPath(folder);
        if (!profile)
            profile = addCustomProfile(folder);
        if (!profile) {
            // Only a folder that was looked into holds no databases.
            const QString reason = scanSqliteDatabases(folder, false).folderError;
            error = reason.isEmpty()
                ? QStringLiteral("Error: no SQLite databases found in %1").arg(QDir::toNativeSeparators(rest))
                : QStringLiteral("Error: the folder %1 cannot be read: %2").arg(QDir::toNativeSeparators(rest), reason);
            return result;
        }
        result.push_back(profile);
    } else if (BrowserProfile* profile = browser->profileByName(rest)) {
        result.push_back(profile);
    }

    if (result.empty())
        error = QStringLiteral("Error: no profile %1 found for %2").arg(rest, browser->name());
    return result;
}
