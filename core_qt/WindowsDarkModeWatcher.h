#pragma once

#include <QObject>

#include <memory>

namespace System {

// Reports changes of the user's light/dark app setting while it runs. On
// Windows a worker waits on the setting's registry key and emits from that
// worker; on Linux the desktop portal's change signal arrives on the thread
// that started the watcher. Idle until start(); without a source of changes
// start() leaves it idle and it says nothing.
class WindowsDarkModeWatcher : public QObject
{
    Q_OBJECT

public:
    WindowsDarkModeWatcher();
    // Stops first: no worker outlives the watcher.
    ~WindowsDarkModeWatcher() override;

    // No effect when already started.
    void start();
    // No effect when not started.
    void stop();
    bool isRunning() const;

signals:
    void darkModeChanged();

private:
    struct Source;
    std::unique_ptr<Source> source;
};

} // namespace System
