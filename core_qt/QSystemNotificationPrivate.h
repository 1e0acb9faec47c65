#pragma once

#include "WindowsDarkModeWatcher.h"
#include "WindowsPowerSourceWatcher.h"

#include <QAbstractNativeEventFilter>

class QSystemNotification;

// The working part of a QSystemNotification: its watchers and its filter of
// the platform's session messages.
class QSystemNotificationPrivate : public QAbstractNativeEventFilter
{
public:
    explicit QSystemNotificationPrivate(QSystemNotification* owner);
    ~QSystemNotificationPrivate() override;

    // Emits the owner's sleep, wake and log-off signals; never takes a message.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // Starts relaying the session's sleep, wake and log-off events.
    void installFilter();
    void removeFilter();

    QSystemNotification* owner;
    bool filterInstalled = false;
    System::WindowsPowerSourceWatcher powerWatcher;
    System::WindowsDarkModeWatcher darkModeWatcher;
};
