#include "QMainWindowExPrivate.h"

#include "QMainWindowEx.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "SessionEndWatcher.h"
#endif

QMainWindowExPrivate::QMainWindowExPrivate(QMainWindowEx* window)
    : window(window)
{
#ifndef _WIN32
    QObject::connect(SessionEndWatcher::instance(), &SessionEndWatcher::sessionEnding, window,
                     &QMainWindowEx::closeOnce);
#endif
}

QMainWindowExPrivate::~QMainWindowExPrivate() = default;

bool QMainWindowExPrivate::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/)
{
#ifdef _WIN32
    if (eventType == "windows_generic_MSG" && static_cast<const MSG*>(message)->message == WM_QUERYENDSESSION)
        window->closeOnce();
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    // The toolkit still gets the message.
    return false;
}
