#pragma once

#include <windows.h>

// Writes a DWORD under the user's theme settings, where the system keeps
// AppsUseLightTheme; the dark-mode tests flip it as the Settings app would.
inline bool setPersonalizeValue(const wchar_t* name, DWORD value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value))
        == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}
