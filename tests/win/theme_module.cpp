// Stands in for the theme library in the dark-mode tests: built once with the
// two mode entry points, which record their last argument, and once without
// any export at all.
#include <windows.h>

#ifdef THEME_EXPORTS
extern "C" {

__declspec(dllexport) int lastAllowDarkModeForApp = -1;
__declspec(dllexport) int lastPreferredAppMode = -1;

__declspec(dllexport) bool WINAPI AllowDarkModeForApp(bool allow)
{
    lastAllowDarkModeForApp = allow ? 1 : 0;
    return true;
}

__declspec(dllexport) int WINAPI SetPreferredAppMode(int mode)
{
    const int previous = lastPreferredAppMode;
    lastPreferredAppMode = mode;
    return previous;
}

} // extern "C"
#endif
