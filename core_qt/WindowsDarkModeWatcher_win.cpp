#include "WindowsDarkModeWatcher.h"

#include "DarkModeRegistryWatcher.h"

namespace System {

struct WindowsDarkModeWatcher::Source
{
    explicit Source(WindowsDarkModeWatcher* owner)
        : registry([owner] { emit owner->darkModeChanged(); })
    {
    }
    DarkModeRegistryWatcher registry;
};

WindowsDarkModeWatcher::WindowsDarkModeWatcher()
    : source(std::make_unique<Source>(this))
{
}

WindowsDarkModeWatcher::~WindowsDarkModeWatcher()
{
    stop();
}

void WindowsDarkModeWatcher::start()
{
    source->registry.start();
}

void WindowsDarkModeWatcher::stop()
{
    source->registry.stop();
}

bool WindowsDarkModeWatcher::isRunning() const
{
    return source->registry.isRunning();
}

} // namespace System
