#pragma once

#include "Browser.h"

// The Viber messenger: one profile per account folder under "ViberPC".
class ViberBrowser : public Browser
{
public:
    QString name() const override;
    QStringList processNames() const override;
    QStringList appNames() const override;
    QString familyName() const override;
    void loadProfiles() override;
    // "viber.db" or "data.db".
    bool isProfileFolder(const QString& folder) const override;
};
