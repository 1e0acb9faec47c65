#include "WinTest.h"

#include "PowerSourceWindow.h"
#include "SystemMessage.h"

#include <vector>

namespace {

void pumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

WIN_TEST(notifications, messageClassifier)
{
    struct Case
    {
        unsigned message;
        std::uintptr_t wParam;
        std::uintptr_t lParam;
        SystemEvent event;
    };
    const Case cases[] = {
        {WM_POWERBROADCAST, PBT_APMSUSPEND, 0, SystemEvent::Sleep},
        {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SystemEvent::Wake},
        {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, SystemEvent::None},
        {WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0, SystemEvent::None},
        {WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SystemEvent::LogOff},
        {WM_QUERYENDSESSION, 0, 0, SystemEvent::None},
        {WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF | ENDSESSION_CLOSEAPP, SystemEvent::None},
        {WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF | ENDSESSION_CRITICAL, SystemEvent::None},
        {WM_ENDSESSION, 1, ENDSESSION_LOGOFF, SystemEvent::None},
        {WM_CLOSE, PBT_APMSUSPEND, ENDSESSION_LOGOFF, SystemEvent::None},
    };
    for (const Case& c : cases)
        CHECK_EQ(int(classifySystemMessage(c.message, c.wParam, c.lParam)), int(c.event));
}

WIN_TEST(notifications, powerWindow)
{
    std::vector<System::PowerSource> seen;
    PowerSourceWindow watcher([&](System::PowerSource source) { seen.push_back(source); });
    CHECK(!watcher.window);
    watcher.start();
    CHECK(watcher.isRunning());
    CHECK(watcher.window);
    HWND window = static_cast<HWND>(watcher.window);
    CHECK(!IsWindowVisible(window));
    CHECK_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&watcher));
    const System::PowerSource now = currentPowerSource();
    CHECK_EQ(int(watcher.lastSource), int(now));

    // What Windows sends right after the registration: the source it already knows.
    CHECK(PostMessageW(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0));
    pumpMessages();
    CHECK(seen.empty());

    // The source changed since last seen: one call, however many messages come.
    watcher.lastSource = now == System::AC ? System::Battery : System::AC;
    for (int i = 0; i < 3; ++i)
        CHECK(PostMessageW(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0));
    CHECK(PostMessageW(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0));
    pumpMessages();
    CHECK_EQ(seen.size(), size_t(1));
    CHECK_EQ(int(seen[0]), int(now));
    CHECK_EQ(int(watcher.lastSource), int(now));

    // A second start only refreshes the source.
    watcher.lastSource = System::Unknown;
    watcher.start();
    CHECK_EQ(watcher.window, static_cast<void*>(window));
    CHECK_EQ(int(watcher.lastSource), int(now));

    watcher.stop();
    CHECK(!watcher.isRunning());
    CHECK(!watcher.window);
    CHECK(!IsWindow(window));
    watcher.stop();

    // The class stays registered: a new start makes a new window.
    watcher.start();
    CHECK(watcher.window);
    watcher.stop();
}
