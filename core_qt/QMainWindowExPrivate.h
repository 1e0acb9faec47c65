#pragma once

#include <QAbstractNativeEventFilter>

class QMainWindowEx;

// Watches for the end of the session on behalf of one main window: Windows'
// end-of-session query through the native event filter; on Linux the session
// manager's request and the termination signals.
class QMainWindowExPrivate : public QAbstractNativeEventFilter
{
public:
    explicit QMainWindowExPrivate(QMainWindowEx* window);
    ~QMainWindowExPrivate() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QMainWindowEx* window;
};
