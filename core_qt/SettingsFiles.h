#pragma once

#include <QString>

// Whether the settings store may be opened where the system keeps it. Where
// that is a file, a FIFO or device put under its name would block the
// program at its first settings read; such a store is not opened.
bool settingsStoreReadable(const QString& organizationName, const QString& applicationName);
