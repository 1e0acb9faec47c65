#pragma once

#include "FirefoxBrowserInfo.h"
#include "TableBrowser.h"

// A Firefox-based program: its profiles are the folders its "profiles.ini" lists.
class FirefoxFamilyBrowser : public TableBrowser<FirefoxBrowserInfo>
{
public:
    explicit FirefoxFamilyBrowser(FirefoxBrowserInfo row);

    QString familyName() const override;
    void loadProfiles() override;
    // One of "bookmarkbackups", "places.sqlite", "prefs.js".
    bool isProfileFolder(const QString& folder) const override;
};
