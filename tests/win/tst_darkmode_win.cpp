#include "WinTest.h"

#include "DarkModeApi.h"
#include "DarkModeRegistryWatcher.h"
#include "DarkModeVersion.h"
#include "PersonalizeSetting.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace {

// Counts the watcher's calls and lets the test wait for the next one.
struct ChangeCounter
{
    ChangeCounter() { event = CreateEventW(nullptr, FALSE, FALSE, nullptr); }
    ~ChangeCounter() { CloseHandle(event); }
    void operator()()
    {
        ++count;
        SetEvent(event);
    }
    // A bound only against a hang; a change arrives in milliseconds.
    bool waitForCall() { return WaitForSingleObject(event, 10000) == WAIT_OBJECT_0; }
    bool quiet(DWORD ms) { return WaitForSingleObject(event, ms) == WAIT_TIMEOUT; }

    HANDLE event = nullptr;
    std::atomic<int> count{0};
};

int exportedInt(void* module, const char* name)
{
    auto* value = reinterpret_cast<int*>(GetProcAddress(static_cast<HMODULE>(module), name));
    return value ? *value : -100;
}

} // namespace

WIN_TEST(darkmode, splitToInts)
{
    struct Case
    {
        const wchar_t* text;
        std::vector<int> numbers;
    };
    const Case cases[] = {
        {L"10..1", {10, 0, 1}},    {L"", {}}, {L"1.", {1}}, {L".1", {0, 1}}, {L"10.0.17763.1", {10, 0, 17763, 1}},
        {L"x.7b. -3", {0, 7, -3}},
    };
    for (const Case& c : cases) {
        std::vector<int> out;
        splitToInts(c.text, L".", out);
        CHECK_MSG(out == c.numbers, WinTest::show(c.text));
    }
    // Several delimiters, and numbers appended to what the list holds.
    std::vector<int> out = {5};
    splitToInts(L"1,2;3", L",;", out);
    CHECK(out == (std::vector<int>{5, 1, 2, 3}));
}

WIN_TEST(darkmode, supportDecision)
{
    struct Case
    {
        const wchar_t* version;
        bool supported;
        int build;
    };
    const Case cases[] = {
        {L"10.0.17763.1", true, 17763},   {L"10.0.17762.1", false, 17762},
        {L"10.0.17763", false, 0},        {L"10.0.22621.2506", true, 22621},
        {L"10.1.0.0", true, 0},           {L"11.0.0.0", true, 0},
        {L"6.3.9600.17415", false, 9600}, {L"", false, 0},
    };
    for (const Case& c : cases) {
        int build = -1;
        CHECK_MSG(darkModeSupportedVersion(c.version, &build) == c.supported, WinTest::show(c.version));
        CHECK_EQ(build, c.build);
    }
}

WIN_TEST(darkmode, apiWithoutEntryPoints)
{
    // A new enough library that exports nothing, by name or by ordinal.
    DarkModeApi api((WinTest::exeFolder() + L"wintests_theme_bare.dll").c_str());
    CHECK(api.supported);
    CHECK(api.uxthemeModule);
    CHECK(!api.allowDarkModeForAppFunction);
    CHECK(!api.setPreferredAppModeFunction);
    CHECK(!api.shouldAppsUseDarkModeFunction);
    CHECK(!api.flushMenuThemesFunction);
    api.allowDarkModeForApp(true);
    api.allowDarkModeForApp(false);
    // No window here: this group runs without a display.
    api.setWindowDarkColors(nullptr, true);

    // Too old a library: nothing is looked up at all.
    DarkModeApi old((WinTest::exeFolder() + L"wintests_module.dll").c_str());
    CHECK(!old.supported);
    CHECK(!old.setWindowCompositionAttributeFunction);
    old.allowDarkModeForApp(true);

    // The process's own table, whatever this system's theme library is.
    DarkModeApi::instance().allowDarkModeForApp(false);
    DarkModeApi::instance().setWindowDarkColors(nullptr, false);
}

WIN_TEST(darkmode, modeByLibraryBuild)
{
    // From build 18362 on the mode is a preferred-mode number.
    DarkModeApi current((WinTest::exeFolder() + L"wintests_theme_new.dll").c_str());
    CHECK(current.supported);
    CHECK_EQ(current.build, 18362);
    CHECK(current.setPreferredAppModeFunction);
    CHECK(!current.allowDarkModeForAppFunction);
    current.allowDarkModeForApp(true);
    CHECK_EQ(exportedInt(current.uxthemeModule, "lastPreferredAppMode"), 2);
    current.allowDarkModeForApp(false);
    CHECK_EQ(exportedInt(current.uxthemeModule, "lastPreferredAppMode"), 3);
    CHECK_EQ(exportedInt(current.uxthemeModule, "lastAllowDarkModeForApp"), -1);

    // Below it, a flag.
    DarkModeApi first((WinTest::exeFolder() + L"wintests_theme_old.dll").c_str());
    CHECK(first.supported);
    CHECK(first.allowDarkModeForAppFunction);
    CHECK(!first.setPreferredAppModeFunction);
    first.allowDarkModeForApp(true);
    CHECK_EQ(exportedInt(first.uxthemeModule, "lastAllowDarkModeForApp"), 1);
    first.allowDarkModeForApp(false);
    CHECK_EQ(exportedInt(first.uxthemeModule, "lastAllowDarkModeForApp"), 0);
    CHECK_EQ(exportedInt(first.uxthemeModule, "lastPreferredAppMode"), -1);
}

WIN_TEST(darkmode, registryWatcher)
{
    CHECK(setPersonalizeValue(L"AppsUseLightTheme", 1));
    CHECK(!registryUsesDarkMode());
    ChangeCounter counter;
    {
        DarkModeRegistryWatcher never([&] { counter(); });
        never.stop();
        CHECK(!never.isRunning());
    }
    DarkModeRegistryWatcher watcher([&] { counter(); });
    watcher.start();
    CHECK(watcher.isRunning());
    watcher.start();
    CHECK(watcher.isRunning());

    CHECK(setPersonalizeValue(L"AppsUseLightTheme", 0));
    CHECK(counter.waitForCall());
    CHECK_EQ(counter.count.load(), 1);
    CHECK(registryUsesDarkMode());

    // Another value under the key, and the same setting written again.
    CHECK(setPersonalizeValue(L"ColorPrevalence", 1));
    CHECK(setPersonalizeValue(L"AppsUseLightTheme", 0));
    CHECK(counter.quiet(300));
    CHECK_EQ(counter.count.load(), 1);

    CHECK(setPersonalizeValue(L"AppsUseLightTheme", 1));
    CHECK(counter.waitForCall());
    CHECK_EQ(counter.count.load(), 2);

    // Stopped while the worker waits: it leaves at once.
    const auto before = std::chrono::steady_clock::now();
    watcher.stop();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
    std::printf("stop took %lld ms\n", static_cast<long long>(ms.count()));
    CHECK(!watcher.isRunning());
    CHECK(setPersonalizeValue(L"AppsUseLightTheme", 0));
    CHECK(counter.quiet(300));
    CHECK_EQ(counter.count.load(), 2);

    // Started again after a stop, and destroyed while its worker waits.
    {
        DarkModeRegistryWatcher again([&] { counter(); });
        again.start();
        CHECK(again.isRunning());
        CHECK(setPersonalizeValue(L"AppsUseLightTheme", 1));
        CHECK(counter.waitForCall());
        CHECK_EQ(counter.count.load(), 3);
    }
    CHECK(setPersonalizeValue(L"AppsUseLightTheme", 0));
    CHECK(counter.quiet(300));
    CHECK_EQ(counter.count.load(), 3);
}
