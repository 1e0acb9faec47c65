#include "QSystemNotification.h"

#include "QSystemNotificationPrivate.h"

#include <QMetaMethod>

QSystemNotification::QSystemNotification(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<QSystemNotificationPrivate>(this))
{
    qRegisterMetaType<System::PowerSource>("System::PowerSource");
    // Automatic: the dark-mode watcher may emit from its worker.
    connect(&d->powerWatcher, &System::WindowsPowerSourceWatcher::powerSourceChanged, this,
            &QSystemNotification::powerSourceChanged);
    connect(&d->darkModeWatcher, &System::WindowsDarkModeWatcher::darkModeChanged, this,
            &QSystemNotification::darkModeChanged);
}

QSystemNotification::~QSystemNotification()
{
    d->powerWatcher.stop();
    d->darkModeWatcher.stop();
    if (d->filterInstalled)
        d->removeFilter();
    d.reset();
}

void QSystemNotification::connectNotify(const QMetaMethod& signal)
{
    if (signal == QMetaMethod::fromSignal(&QSystemNotification::darkModeChanged)) {
        d->darkModeWatcher.start();
    } else if (signal == QMetaMethod::fromSignal(&QSystemNotification::powerSourceChanged)) {
        d->powerWatcher.start();
    } else if (!d->filterInstalled) {
        d->installFilter();
        d->filterInstalled = true;
    }
}

QSystemNotificationPrivate::QSystemNotificationPrivate(QSystemNotification* owner)
    : owner(owner)
{
}

QSystemNotificationPrivate::~QSystemNotificationPrivate() = default;
