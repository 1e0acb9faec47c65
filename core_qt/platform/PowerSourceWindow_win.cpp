#include "PowerSourceWindow.h"

#include "WindowsVersion.h"

#include <windows.h>

namespace {

const wchar_t windowClass[] = L"HarrowquinBatteryWatcherClass";
constexpr WPARAM powerSettingChange = 0x8013;
// {5D3E9A59-E9D5-4B00-A6BD-FF34FF516548}
const GUID acDcPowerSource = {0x5d3e9a59, 0xe9d5, 0x4b00, {0xa6, 0xbd, 0xff, 0x34, 0xff, 0x51, 0x65, 0x48}};

using RegisterProc = HANDLE(WINAPI*)(HANDLE recipient, const GUID* setting, DWORD flags);
using UnregisterProc = BOOL(WINAPI*)(HANDLE notification);

// Looked up once per process, on the GUI thread.
RegisterProc registerPowerSetting = nullptr;
UnregisterProc unregisterPowerSetting = nullptr;
bool lookedUp = false;

LRESULT CALLBACK trampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PowerSourceWindow::windowProc(window, message, wParam, lParam);
}

} // namespace

PowerSourceWindow::PowerSourceWindow(std::function<void(System::PowerSource)> changed)
    : changed(std::move(changed))
{
}

PowerSourceWindow::~PowerSourceWindow()
{
    stop();
}

void PowerSourceWindow::start()
{
    lastSource = currentPowerSource();
    if (notification || !isWindowsVersionOrGreater(6, 0))
        return;
    if (!lookedUp) {
        lookedUp = true;
        if (HMODULE user32 = GetModuleHandleW(L"USER32.DLL")) {
            registerPowerSetting = reinterpret_cast<RegisterProc>(
                reinterpret_cast<void (*)()>(GetProcAddress(user32, "RegisterPowerSettingNotification")));
            unregisterPowerSetting = reinterpret_cast<UnregisterProc>(
                reinterpret_cast<void (*)()>(GetProcAddress(user32, "UnregisterPowerSettingNotification")));
        }
    }
    if (!registerPowerSetting || !unregisterPowerSetting)
        return;

    if (!window) {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW info{};
        if (!GetClassInfoW(instance, windowClass, &info)) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = trampoline;
            wc.hInstance = instance;
            wc.lpszClassName = windowClass;
            RegisterClassW(&wc);
        }
        HWND hwnd
            = CreateWindowExW(0, windowClass, L"Battery Watcher", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
        if (hwnd) {
            // The full pointer: the 32-bit user data would cut it in a 64-bit build.
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            window = hwnd;
        }
    }
    if (window)
        notification = registerPowerSetting(static_cast<HWND>(window), &acDcPowerSource, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void PowerSourceWindow::stop()
{
    if (notification) {
        unregisterPowerSetting(static_cast<HANDLE>(notification));
        notification = nullptr;
    }
    if (window) {
        HWND hwnd = static_cast<HWND>(window);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
        window = nullptr;
    }
}

std::intptr_t PowerSourceWindow::windowProc(void* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    HWND hwnd = static_cast<HWND>(window);
    if (message == WM_POWERBROADCAST && wParam == powerSettingChange) {
        auto* self = reinterpret_cast<PowerSourceWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) {
            const System::PowerSource source = currentPowerSource();
            if (source != self->lastSource) {
                self->lastSource = source;
                if (self->changed)
                    self->changed(source);
            }
        }
        return TRUE;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
