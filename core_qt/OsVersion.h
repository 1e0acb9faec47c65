#pragma once

#include <QString>

// Short name of the running OS ("11", "10", "8.1", ... on Windows; the release
// such as "12" on Linux), made once and cached.
QString osVersionName();

// Display text of the running OS ("Windows 11 x64 (23H2)"; on Linux the
// os-release PRETTY_NAME and the architecture), made once and cached.
QString osDescription();

// The unquoted value of `key` in an os-release text (Linux's description of
// itself); empty when missing.
QString osReleaseValue(const QString& osRelease, const QString& key);
