#pragma once

#include "BrowserProfile.h"

#include <QIcon>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// A supported program: names itself, tells which processes mean it runs,
// finds its profile folders and owns them.
class Browser
{
public:
    Browser() = default;
    virtual ~Browser();

    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    virtual QString name() const = 0;
    virtual QStringList processNames() const = 0;
    virtual QStringList appNames() const = 0;
    virtual QString familyName() const = 0;
    virtual void loadProfiles() = 0;
    virtual bool isProfileFolder(const QString& folder) const = 0;

    // Returns the existing profile when one already has this folder (ignoring
    // case), else creates it. Never null.
    BrowserProfile* addProfile(const QString& name, const QString& path);
    BrowserProfile* profileByName(const QString& name) const;
    // Deletes the profile; a pointer that is not ours changes nothing.
    void removeProfile(BrowserProfile* profile);

    const std::vector<std::unique_ptr<BrowserProfile>>& profiles() const { return m_profiles; }

    // Locates the program over appNames() on the first call; later calls do nothing.
    void resolveProgramPath();
    // The icon of the program path as it is when first asked. GUI thread only.
    QIcon icon();
    // Empty until resolved, and when nothing was found.
    const QString& resolvedProgramPath() const { return programPath; }
    bool isProgramPathResolved() const { return programPathResolved; }

protected:
    QString programPath;
    bool programPathResolved = false;
    QIcon programIcon;
    bool iconLoaded = false;

private:
    std::vector<std::unique_ptr<BrowserProfile>> m_profiles;
};
