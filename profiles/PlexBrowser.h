#pragma once

#include "Browser.h"

// Plex Media Server: its library databases, the one profile "Default".
class PlexBrowser : public Browser
{
public:
    QString name() const override;
    QStringList processNames() const override;
    QStringList appNames() const override;
    QString familyName() const override;
    void loadProfiles() override;
    // The library database or its blobs database.
    bool isProfileFolder(const QString& folder) const override;
};
