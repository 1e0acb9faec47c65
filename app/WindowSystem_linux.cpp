#include "WindowSystem.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace {

bool platformReachable(const QByteArray& platform)
{
    const QByteArray name = platform.split(':').value(0).trimmed();
    if (name == "xcb")
        return !qEnvironmentVariableIsEmpty("DISPLAY");
    if (name.startsWith("wayland"))
        return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    // offscreen, vnc, eglfs, linuxfb ... need no display server.
    return !name.isEmpty();
}

} // namespace

bool windowSystemAvailable()
{
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (chosen.isEmpty())
        return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    // A list such as "wayland;xcb" is tried in order.
    for (const QByteArray& platform : chosen.split(';')) {
        if (platformReachable(platform))
            return true;
    }
    return false;
}
