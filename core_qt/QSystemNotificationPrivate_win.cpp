#include "QSystemNotificationPrivate.h"

#include "QSystemNotification.h"
#include "SystemMessage.h"

#include <QCoreApplication>

#include <windows.h>

bool QSystemNotificationPrivate::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/)
{
    if (eventType != "windows_generic_MSG")
        return false;
    const MSG* msg = static_cast<const MSG*>(message);
    switch (classifySystemMessage(msg->message, msg->wParam, static_cast<std::uintptr_t>(msg->lParam))) {
    case SystemEvent::Sleep:
        emit owner->enterSleepMode();
        break;
    case SystemEvent::Wake:
        emit owner->wakeUp();
        break;
    case SystemEvent::LogOff:
        emit owner->userLoggedOut();
        break;
    case SystemEvent::None:
        break;
    }
    return false;
}

void QSystemNotificationPrivate::installFilter()
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

void QSystemNotificationPrivate::removeFilter()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}
