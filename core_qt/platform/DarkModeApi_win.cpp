#include "DarkModeApi.h"

#include "DarkModeVersion.h"
#include "FileVersionInfo.h"

#include <windows.h>
#include <commctrl.h>

namespace {

// Build from which the theme library takes a preferred mode instead of a flag.
constexpr int preferredAppModeBuild = 18362;

// Modes of "SetPreferredAppMode".
constexpr int forceDark = 2;
constexpr int forceLight = 3;

// "SetWindowCompositionAttribute"'s data block and the attribute that selects
// the dark title-bar colours.
struct CompositionAttributeData
{
    DWORD attribute;
    PVOID data;
    SIZE_T size;
};
constexpr DWORD useDarkModeColors = 26;

using AllowDarkModeForAppProc = bool(WINAPI*)(bool allow);
using SetPreferredAppModeProc = int(WINAPI*)(int mode);
using SetWindowCompositionAttributeProc = BOOL(WINAPI*)(HWND window, CompositionAttributeData* data);

template <typename T>
T as(DarkModeApi::Function function)
{
    return reinterpret_cast<T>(function);
}

DarkModeApi::Function byName(HMODULE module, const char* name)
{
    return reinterpret_cast<DarkModeApi::Function>(GetProcAddress(module, name));
}

DarkModeApi::Function byOrdinal(HMODULE module, WORD ordinal)
{
    return reinterpret_cast<DarkModeApi::Function>(
        GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal))));
}

} // namespace

DarkModeApi& DarkModeApi::instance()
{
    static DarkModeApi api(L"uxtheme.dll");
    return api;
}

DarkModeApi::DarkModeApi(const wchar_t* themeLibrary)
{
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_STANDARD_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    supported = darkModeSupportedVersion(fileProductVersion(themeLibrary), &build);
    HMODULE module = LoadLibraryW(themeLibrary);
    uxthemeModule = module;
    if (!module || !supported)
        return;

    Function& appMode = build < preferredAppModeBuild ? allowDarkModeForAppFunction : setPreferredAppModeFunction;
    appMode = byName(module, build < preferredAppModeBuild ? "AllowDarkModeForApp" : "SetPreferredAppMode");

    struct Entry
    {
        Function* function;
        const char* name;
        WORD ordinal;
    };
    const Entry entries[] = {
        {&allowDarkModeForWindowFunction, "AllowDarkModeForWindow", 133},
        {&shouldAppsUseDarkModeFunction, "ShouldAppsUseDarkMode", 132},
        {&isDarkModeAllowedForWindowFunction, "IsDarkModeAllowedForWindow", 137},
        {&isDarkModeAllowedForAppFunction, "IsDarkModeAllowedForApp", 139},
        {&shouldSystemUseDarkModeFunction, "ShouldSystemUseDarkMode", 138},
        {&refreshImmersiveColorPolicyStateFunction, "RefreshImmersiveColorPolicyState", 104},
        {&getIsImmersiveColorUsingHighContrastFunction, "GetIsImmersiveColorUsingHighContrast", 106},
        {&flushMenuThemesFunction, "FlushMenuThemes", 136},
    };
    for (const Entry& entry : entries)
        *entry.function = byName(module, entry.name);
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll"))
        setWindowCompositionAttributeFunction = byName(user32, "SetWindowCompositionAttribute");

    // Most of them are exported by ordinal only.
    if (!appMode)
        appMode = byOrdinal(module, 135);
    for (const Entry& entry : entries) {
        if (!*entry.function)
            *entry.function = byOrdinal(module, entry.ordinal);
    }
}

DarkModeApi::~DarkModeApi()
{
    if (uxthemeModule)
        FreeLibrary(static_cast<HMODULE>(uxthemeModule));
}

void DarkModeApi::allowDarkModeForApp(bool dark) const
{
    if (allowDarkModeForAppFunction)
        as<AllowDarkModeForAppProc>(allowDarkModeForAppFunction)(dark);
    if (setPreferredAppModeFunction)
        as<SetPreferredAppModeProc>(setPreferredAppModeFunction)(dark ? forceDark : forceLight);
}

void DarkModeApi::setWindowDarkColors(void* window, bool dark) const
{
    if (!setWindowCompositionAttributeFunction)
        return;
    BOOL value = dark ? TRUE : FALSE;
    CompositionAttributeData data{useDarkModeColors, &value, sizeof(value)};
    as<SetWindowCompositionAttributeProc>(setWindowCompositionAttributeFunction)(static_cast<HWND>(window), &data);
}
