#pragma once

#include "Browser.h"
#include "BrowserProfile.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

class AppSettings;

// A program's name and the process base names that mean it runs.
using ProgramProcessNames = std::pair<QString, QStringList>;

// Splits a "CustomProfiles" entry "<family>\t<path>" at its first TAB; false
// (outputs untouched) without a TAB, else whether the path is not empty.
bool splitSettingsEntry(const QString& entry, QString& family, QString& path);

// Owns every supported program, in the fixed order used everywhere, and the
// custom profiles. Used by one thread at a time; no locks.
class BrowsersList
{
public:
    BrowsersList();
    ~BrowsersList();

    BrowsersList(const BrowsersList&) = delete;
    BrowsersList& operator=(const BrowsersList&) = delete;

    // Every program searches its profiles and locates its executable. Known
    // folders keep their profile objects.
    void reloadAll();
    // Re-adds the stored custom folders and applies the stored ticks.
    void loadSettings(AppSettings* settings);
    // Lists every profile's databases once.
    void loadDatabaseLists();
    void saveSettings(AppSettings* settings) const;

    const std::vector<std::unique_ptr<Browser>>& browsers() const { return m_browsers; }
    const std::vector<std::unique_ptr<BrowserProfile>>& customProfiles() const { return m_customProfiles; }
    // Programs' profiles in program order, then the custom profiles.
    std::vector<BrowserProfile*> allProfiles() const;
    std::vector<Browser*> browsersWithProfiles() const;

    // Letter case, the separator kind and trailing separators do not matter.
    BrowserProfile* findProfileByPath(const QString& path) const;
    // The known profile of that folder, else a new custom profile with the
    // family of the first program that recognises the folder; null (nothing
    // added) when the folder holds no SQLite database.
    BrowserProfile* addCustomProfile(const QString& path);
    void removeCustomProfile(BrowserProfile* profile);

    // Process names of every program of the family, each once (ignoring case).
    QStringList processNamesForFamily(const QString& family) const;
    // What to check for running programs before these profiles are compacted.
    std::vector<ProgramProcessNames> programsForProfiles(const std::vector<BrowserProfile*>& profiles) const;

    // One "/<program>:<profile>" argument: <profile> is "all", a folder or a
    // profile name. On failure `error` is set and the result is empty.
    std::vector<BrowserProfile*> parseCommandLineArgument(const QString& argument, QString& error);

private:
    void populate();

    std::vector<std::unique_ptr<Browser>> m_browsers;
    std::vector<std::unique_ptr<BrowserProfile>> m_customProfiles;
};
