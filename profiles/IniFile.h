#pragma once

#include <QHash>
#include <QMap>
#include <QString>

// Group name -> (key -> value) of a UTF-8 INI file, groups sorted by name
// case-sensitively. Values are taken as written: Windows paths keep their
// backslashes, unlike QSettings, which reads them as escapes. Keys are
// case-sensitive; keys before the first group are dropped. A missing file
// gives no groups.
QMap<QString, QHash<QString, QString>> readIniFile(const QString& path);
