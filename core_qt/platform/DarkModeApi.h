#pragma once

// The theme library's dark-mode entry points, looked up once per process.
// They are not documented, so each may be missing: a missing one turns its
// feature off. Dark mode exists from theme library 10.0.17763 on; before
// that nothing is looked up and every call does nothing.
class DarkModeApi
{
public:
    static DarkModeApi& instance();

    // The table of another theme library file (the process uses "uxtheme.dll").
    explicit DarkModeApi(const wchar_t* themeLibrary);
    ~DarkModeApi();
    DarkModeApi(const DarkModeApi&) = delete;
    DarkModeApi& operator=(const DarkModeApi&) = delete;

    // Tells the theme library the process's mode.
    void allowDarkModeForApp(bool dark) const;
    // Dark or light title-bar colours for a window (an HWND).
    void setWindowDarkColors(void* window, bool dark) const;

    using Function = void (*)();

    // Null when not found or not looked up.
    Function allowDarkModeForAppFunction = nullptr;
    Function setPreferredAppModeFunction = nullptr;
    Function allowDarkModeForWindowFunction = nullptr;
    Function shouldAppsUseDarkModeFunction = nullptr;
    Function isDarkModeAllowedForWindowFunction = nullptr;
    Function isDarkModeAllowedForAppFunction = nullptr;
    Function shouldSystemUseDarkModeFunction = nullptr;
    Function refreshImmersiveColorPolicyStateFunction = nullptr;
    Function getIsImmersiveColorUsingHighContrastFunction = nullptr;
    Function flushMenuThemesFunction = nullptr;
    Function setWindowCompositionAttributeFunction = nullptr;

    void* uxthemeModule = nullptr;
    bool supported = false;
    // The library's build number, 0 when its version was not four numbers.
    int build = 0;
};
