#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>

// Memory figures of the test's own process, for tests that bound what an
// input may cost (Linux /proc).

// A kilobyte figure of /proc/self/status, such as "VmHWM"; -1 when unreadable.
inline qint64 statusKiB(const char* field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Sets the peak resident size back to the present one.
inline bool resetPeakRss()
{
    QFile clearRefs("/proc/self/clear_refs");
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}
