#include "WinDarkMode.h"

#include "DarkModePlatform.h"
#include "QApplicationEx.h"
#include "QSystemNotification.h"

#include <QWidget>

WinDarkMode::WinDarkMode(QWidget* widget)
{
    applyWindowDarkMode(widget);
}

void WinDarkMode::applyWindowDarkMode(QWidget* widget)
{
    if (!widget || !QApplicationEx::isDarkModeSupport())
        return;
    DarkModePlatform::applyTitleBar(widget);
    if (!QApplicationEx::isDarkModeWatchChanges() || widget->property("DarkModeWatcher").isValid())
        return;
    widget->setProperty("DarkModeWatcher", 1);
    auto* notification = new QSystemNotification(widget);
    QObject::connect(
        notification, &QSystemNotification::darkModeChanged, notification, [widget] { applyWindowDarkMode(widget); },
        Qt::DirectConnection);
}
