#pragma once

#include "ChromiumBrowserInfo.h"
#include "TableBrowser.h"

#include <QHash>

// Profile folder name -> the name the user gave the profile (empty when none),
// from the user-data folder's "Local State".
QHash<QString, QString> readLocalState(const QString& userDataDir);

// A Chromium-based program: one subfolder per profile named by "Local State",
// or, for Opera, the user-data folder itself plus its side profiles.
class ChromiumFamilyBrowser : public TableBrowser<ChromiumBrowserInfo>
{
public:
    explicit ChromiumFamilyBrowser(ChromiumBrowserInfo row);

    QString familyName() const override;
    void loadProfiles() override;
    // At least two of "Preferences", "History", "Cookies", "Web Data".
    bool isProfileFolder(const QString& folder) const override;

    // The profile folders to add, "Default" first.
    QStringList listProfileFolders(const QString& userDataDir, const QHash<QString, QString>& names) const;

private:
    void loadSingleProfileLayout(const QString& userDataDir);
    void loadUsualLayout(const QString& userDataDir);
};
