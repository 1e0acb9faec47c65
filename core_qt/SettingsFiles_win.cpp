#include "SettingsFiles.h"

// The settings live in the registry: there is no file to mistake.
bool settingsStoreReadable(const QString&, const QString&)
{
    return true;
}
