#include "SettingsFiles.h"

#include "RegularFile.h"

#include <QStandardPaths>

// QSettings reads the application's file and the organisation's file from the
// user's configuration folder.
bool settingsStoreReadable(const QString& organizationName, const QString& applicationName)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString& file : {folder + "/" + organizationName + "/" + applicationName + ".conf",
                                folder + "/" + organizationName + ".conf"}) {
        const RegularFile::Kind kind = RegularFile::examine(file, 0).kind;
        if (kind == RegularFile::Kind::NotRegular)
            return false;
    }
    return true;
}
