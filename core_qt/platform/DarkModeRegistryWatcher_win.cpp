#include "DarkModeRegistryWatcher.h"

#include "WindowsVersion.h"

#include <windows.h>

namespace {

const wchar_t personalizePath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

} // namespace

bool registryUsesDarkMode()
{
    DWORD value = 1;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, personalizePath, L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &value, &size)
        != ERROR_SUCCESS)
        return false;
    return value == 0;
}

DarkModeRegistryWatcher::DarkModeRegistryWatcher(std::function<void()> changed)
    : changed(std::move(changed))
{
}

DarkModeRegistryWatcher::~DarkModeRegistryWatcher()
{
    stop();
}

void DarkModeRegistryWatcher::start()
{
    if (personalizeKey || !isWindowsVersionOrGreater(10, 0))
        return;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, personalizePath, 0, KEY_NOTIFY, &key) != ERROR_SUCCESS || !key)
        return;
    personalizeKey = key;
    changeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    lastDarkMode = registryUsesDarkMode();
    task = std::async(std::launch::async, [this] { run(); });
}

void DarkModeRegistryWatcher::run()
{
    HKEY key = static_cast<HKEY>(personalizeKey);
    const HANDLE events[] = {stopEvent, changeEvent};
    const auto registerForChange = [&] {
        return RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, changeEvent, TRUE) == ERROR_SUCCESS;
    };
    // The value is read after each registration, so a change made before the
    // first one or while reading is not lost.
    const auto compare = [&] {
        const bool dark = registryUsesDarkMode();
        if (dark != lastDarkMode) {
            lastDarkMode = dark;
            if (changed)
                changed();
        }
    };
    bool registered = registerForChange();
    if (registered)
        compare();
    while (registered) {
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        ResetEvent(changeEvent);
        registered = registerForChange();
        compare();
    }
}

void DarkModeRegistryWatcher::stop()
{
    if (stopEvent) {
        // Signalled before the wait, so the worker leaves at once.
        SetEvent(stopEvent);
        if (task.valid())
            task.wait();
        task = {};
        CloseHandle(changeEvent);
        CloseHandle(stopEvent);
        changeEvent = nullptr;
        stopEvent = nullptr;
    }
    if (personalizeKey) {
        RegCloseKey(static_cast<HKEY>(personalizeKey));
        personalizeKey = nullptr;
    }
}
