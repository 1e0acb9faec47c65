#pragma once

#include <functional>
#include <future>

// The user's light/dark app setting: "AppsUseLightTheme" under the current
// user's Personalize key is 0. A missing value means light.
bool registryUsesDarkMode();

// Watches the setting's registry key on a worker and calls `changed` (from
// the worker) each time the setting differs from the one last seen. Changes
// of other values under the key call nothing. Works from Windows 10 on; on
// older systems, or without the key, start() leaves it idle.
class DarkModeRegistryWatcher
{
public:
    explicit DarkModeRegistryWatcher(std::function<void()> changed);
    // Stops the worker first: it never outlives the watcher.
    ~DarkModeRegistryWatcher();
    DarkModeRegistryWatcher(const DarkModeRegistryWatcher&) = delete;
    DarkModeRegistryWatcher& operator=(const DarkModeRegistryWatcher&) = delete;

    // No effect when already started.
    void start();
    // Ends the worker and releases the handles; returns as soon as the worker
    // has left its wait. No effect when not started.
    void stop();
    bool isRunning() const { return personalizeKey != nullptr; }

private:
    void run();

    std::function<void()> changed;
    void* personalizeKey = nullptr;
    void* changeEvent = nullptr;
    void* stopEvent = nullptr;
    std::future<void> task;
    // Written by start() before the worker exists, then only by the worker.
    bool lastDarkMode = false;
};
