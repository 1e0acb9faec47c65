#include "QMainWindowEx.h"

#include "QMainWindowExPrivate.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include <mutex>

namespace {

// Process-wide: one close for all windows, one onClose() for the process. A
// call that ends by an exception leaves its guard open.
std::once_flag closeGuard;
std::once_flag onCloseGuard;

} // namespace

QMainWindowEx::QMainWindowEx(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
    , WinDarkMode(this)
    , CmdWClosable(this)
{
    quitting = false;
    d = std::make_unique<QMainWindowExPrivate>(this);
    QCoreApplication::instance()->installNativeEventFilter(d.get());
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &QMainWindowEx::closeOnce);
}

// The filter's destructor takes it out of the application's list.
QMainWindowEx::~QMainWindowEx() = default;

void QMainWindowEx::closeOnce()
{
    std::call_once(closeGuard, [this] {
        quitting = true;
        close();
    });
}

void QMainWindowEx::closeEvent(QCloseEvent* event)
{
    if (hideOnClose() && !quitting) {
        hideWindow();
        event->ignore();
        return;
    }
    std::call_once(onCloseGuard, [this] { onClose(); });
    event->accept();
}

bool QMainWindowEx::hideOnClose()
{
    return false;
}

void QMainWindowEx::onClose() { }

void QMainWindowEx::hideWindow()
{
    hide();
}
