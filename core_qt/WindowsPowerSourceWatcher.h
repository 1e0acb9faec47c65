#pragma once

#include "PowerSource.h"

#include <QMetaType>
#include <QObject>

#include <memory>

Q_DECLARE_METATYPE(System::PowerSource)

namespace System {

// Reports changes of the power source while it runs: on Windows through a
// hidden window registered for power-setting notifications, on Linux through
// the kernel's power-supply events. Emits only when the source differs from
// the one last seen. Where the machine has no such source it stays idle.
class WindowsPowerSourceWatcher : public QObject
{
    Q_OBJECT

public:
    WindowsPowerSourceWatcher();
    ~WindowsPowerSourceWatcher() override;

    // Refreshes the source last seen; starts watching when not watching yet.
    void start();
    void stop();
    bool isRunning() const;

signals:
    void powerSourceChanged(System::PowerSource ps);

private:
    struct Source;
    std::unique_ptr<Source> source;
};

} // namespace System
