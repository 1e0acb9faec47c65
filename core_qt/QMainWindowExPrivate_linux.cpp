#include "QMainWindowExPrivate.h"

#include "QMainWindowEx.h"
#include "SessionEndWatcher.h"

QMainWindowExPrivate::QMainWindowExPrivate(QMainWindowEx* window)
    : window(window)
{
    QObject::connect(SessionEndWatcher::instance(), &SessionEndWatcher::sessionEnding, window,
                     &QMainWindowEx::closeOnce);
}

QMainWindowExPrivate::~QMainWindowExPrivate() = default;

// The session's end arrives through SessionEndWatcher, not as a native event.
bool QMainWindowExPrivate::nativeEventFilter(const QByteArray& /*eventType*/, void* /*message*/, qintptr* /*result*/)
{
    return false;
}
