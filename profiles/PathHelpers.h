#pragma once

#include <QString>

// Forward slashes, no trailing slash (a lone "/" stays as it is).
QString normalizePath(const QString& path);

// Whether `dir` + "/" + `name` exists (file or folder); false for an empty `dir`,
// so an unknown folder never matches something at the root of the drive.
bool fileExistsIn(const QString& dir, const QString& name);
