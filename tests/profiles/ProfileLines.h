#pragma once

#include "Browser.h"

#include <QStringList>

// "name|title|path" for each profile of a program, in its order: compares a
// whole discovery result in one QCOMPARE.
inline QStringList profileLines(const Browser& browser, const QString& stripPrefix = QString())
{
    QStringList lines;
    for (const auto& profile : browser.profiles()) {
        QString path = profile->path;
        if (!stripPrefix.isEmpty() && path.startsWith(stripPrefix))
            path = path.mid(stripPrefix.size());
        lines << profile->name + QLatin1Char('|') + profile->title + QLatin1Char('|') + path;
    }
    return lines;
}
