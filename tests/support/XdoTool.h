#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs xdotool against the X server of the test (xvfb-run) and returns what it
// printed; empty when it did not finish within a minute.
inline QString xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start("xdotool", arguments);
    if (!tool.waitForFinished(60000))
        return {};
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}
