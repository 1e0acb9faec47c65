#pragma once

#include "PowerSource.h"

#include <cstdint>
#include <functional>

// A hidden window registered for the system's power-source notifications.
// Each notification reads the current source and calls `changed` when it
// differs from the one last seen, so repeated messages and the one sent
// right after the registration call nothing. Needs Windows Vista and the
// power-setting notification entry points; without them start() leaves it idle.
class PowerSourceWindow
{
public:
    explicit PowerSourceWindow(std::function<void(System::PowerSource)> changed);
    ~PowerSourceWindow();
    PowerSourceWindow(const PowerSourceWindow&) = delete;
    PowerSourceWindow& operator=(const PowerSourceWindow&) = delete;

    // Refreshes lastSource; registers only when not registered yet.
    void start();
    // Unregisters and destroys the window; the window class stays.
    void stop();
    bool isRunning() const { return notification != nullptr; }

    // The hidden window's procedure (an HWND and its message).
    static std::intptr_t windowProc(void* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    void* window = nullptr;
    void* notification = nullptr;
    System::PowerSource lastSource = System::Unknown;

private:
    std::function<void(System::PowerSource)> changed;
};
