#pragma once

#include "WindowsPowerSourceWatcher.h"

#include <QObject>

#include <memory>

class QSystemNotificationPrivate;

// The framework's one object for system events: sleep, wake, log-off,
// power-source and light/dark setting changes as signals on the GUI thread.
// Nothing runs until somebody connects: the first connection to a signal
// starts what it needs (the dark-mode watcher, the power watcher, or the
// message filter), and all of it stays until the object is destroyed.
class QSystemNotification : public QObject
{
    Q_OBJECT

public:
    explicit QSystemNotification(QObject* parent);
    // Stops both watchers before anything else goes.
    ~QSystemNotification() override;

    const QSystemNotificationPrivate* d_func() const { return d.get(); }

signals:
    void enterSleepMode();
    void wakeUp();
    void userLoggedOut();
    void darkModeChanged();
    void powerSourceChanged(System::PowerSource ps);

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    std::unique_ptr<QSystemNotificationPrivate> d;
};
