#include "WindowsPowerSourceWatcher.h"

#include "PowerSourceWindow.h"

namespace System {

struct WindowsPowerSourceWatcher::Source
{
    explicit Source(WindowsPowerSourceWatcher* owner)
        : window([owner](PowerSource ps) { emit owner->powerSourceChanged(ps); })
    {
    }
    PowerSourceWindow window;
};

WindowsPowerSourceWatcher::WindowsPowerSourceWatcher()
    : source(std::make_unique<Source>(this))
{
}

WindowsPowerSourceWatcher::~WindowsPowerSourceWatcher()
{
    stop();
}

void WindowsPowerSourceWatcher::start()
{
    source->window.start();
}

void WindowsPowerSourceWatcher::stop()
{
    source->window.stop();
}

bool WindowsPowerSourceWatcher::isRunning() const
{
    return source->window.isRunning();
}

} // namespace System
