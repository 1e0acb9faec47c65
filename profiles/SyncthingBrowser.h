#pragma once

#include "Browser.h"

// Syncthing: its index database, the one profile "Default".
class SyncthingBrowser : public Browser
{
public:
    QString name() const override;
    QStringList processNames() const override;
    QStringList appNames() const override;
    QString familyName() const override;
    void loadProfiles() override;
    // "main.db" plus a "folder.*.db" file or a "config.xml" one folder up.
    bool isProfileFolder(const QString& folder) const override;
};
