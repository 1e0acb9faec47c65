#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

// What a process does with signals, read from Linux /proc: for tests that
// signal a program only once it handles the signal itself.

// A signal mask field of a /proc status file (SigCgt, ShdPnd, SigBlk...);
// 0 when unreadable.
inline quint64 statusMask(const QString& statusPath, const QByteArray& field)
{
    QFile status(statusPath);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ":"))
            return line.mid(field.size() + 1).trimmed().toULongLong(nullptr, 16);
    }
    return 0;
}

inline bool hasSignal(quint64 mask, int signal)
{
    return (mask >> (signal - 1)) & 1;
}

// Whether the process has a handler of its own for the signal.
inline bool catchesSignal(qint64 pid, int signal)
{
    return hasSignal(statusMask(QStringLiteral("/proc/%1/status").arg(pid), "SigCgt"), signal);
}
