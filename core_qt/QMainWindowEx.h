#pragma once

#include "CmdWClosable.h"
#include "WinDarkMode.h"

#include <QMainWindow>

#include <memory>

class QMainWindowExPrivate;

// Base of the main window. onClose() runs exactly once per process, at the
// first accepted close: the user's, the application's quit, or the end of the
// session (Windows' end-of-session query; on Linux the session manager's
// request or SIGTERM/SIGHUP).
class QMainWindowEx : public QMainWindow, public WinDarkMode, public CmdWClosable
{
    Q_OBJECT

public:
    explicit QMainWindowEx(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~QMainWindowEx() override;

    // Handles the quit and the end of the session; only the first call in the
    // process, from any window, does anything.
    void closeOnce();

protected:
    void closeEvent(QCloseEvent* event) override;

    // Whether the user's close only hides the window.
    virtual bool hideOnClose();
    // The subclass's work at the final close.
    virtual void onClose();
    // How a hiding close hides the window. The bases keep it virtual for
    // windows that hide elsewhere (a tray); no window of this program does.
    virtual void hideWindow();

private:
    std::unique_ptr<QMainWindowExPrivate> d;
};
