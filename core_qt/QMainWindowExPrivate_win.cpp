#include "QMainWindowExPrivate.h"

#include "QMainWindowEx.h"

#include <windows.h>

QMainWindowExPrivate::QMainWindowExPrivate(QMainWindowEx* window)
    : window(window)
{
}

QMainWindowExPrivate::~QMainWindowExPrivate() = default;

bool QMainWindowExPrivate::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/)
{
    if (eventType == "windows_generic_MSG" && static_cast<const MSG*>(message)->message == WM_QUERYENDSESSION)
        window->closeOnce();
    // The toolkit still gets the message.
    return false;
}
