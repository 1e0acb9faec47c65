#include "QApplicationEx.h"

#include "ProductIdentity.h"

#include <QWidget>

// Linux executables carry no version resource: the numbers are compiled in
// from the product identity.
QApplicationEx::VersionNumbers QApplicationEx::readOwnVersion()
{
    return {QUORBILAN_VERSION_MAJOR, QUORBILAN_VERSION_MINOR, QUORBILAN_VERSION_PATCH, QUORBILAN_VERSION_BUILD};
}

void QApplicationEx::forceForegroundWindow(QWidget* widget)
{
    if (!widget)
        return;
    QWidget* window = widget->window();
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}
