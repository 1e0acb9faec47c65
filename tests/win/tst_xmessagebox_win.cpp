#include "WinTest.h"

#include "XMessageBox.h"

#include <functional>
#include <string>

namespace {

// Runs `act` on a thread of its own once a box titled `title` is on screen; the
// box itself runs on the test's thread.
class BoxDriver
{
public:
    BoxDriver(const std::wstring& title, std::function<void(HWND)> act, int patienceMs = 30000)
        : title(title)
        , act(std::move(act))
        , tries(patienceMs / 50)
    {
        thread = CreateThread(nullptr, 0, &BoxDriver::main, this, 0, nullptr);
    }
    ~BoxDriver()
    {
        WaitForSingleObject(thread, 30000);
        CloseHandle(thread);
    }
    bool sawBox() const { return found; }

private:
    static DWORD WINAPI main(void* self)
    {
        auto* driver = static_cast<BoxDriver*>(self);
        for (int i = 0; i < driver->tries; ++i) {
            HWND box = FindWindowW(L"#32770", driver->title.c_str());
            if (box && IsWindowVisible(box)) {
                driver->found = true;
                driver->act(box);
                return 0;
            }
            Sleep(50);
        }
        return 0;
    }

    std::wstring title;
    std::function<void(HWND)> act;
    int tries;
    HANDLE thread = nullptr;
    volatile bool found = false;
};

std::wstring itemText(HWND box, int id)
{
    if (!GetDlgItem(box, id))
        return L"(none)";
    wchar_t text[512] = {};
    GetDlgItemTextW(box, id, text, 512);
    return text;
}

void press(HWND box, int id)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void pressKey(HWND box, WPARAM key)
{
    HWND focus = GetDlgItem(box, IDOK) ? GetDlgItem(box, IDOK) : GetDlgItem(box, IDYES);
    PostMessageW(focus ? focus : box, WM_KEYDOWN, key, 0);
}

struct SavedAnswersKey
{
    ~SavedAnswersKey() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tulverhaven Software\\wintests.exe"); }
};

// Records, on the box's own thread, the first caption of the OK button that
// shows a countdown: reading it from the driver's thread could miss the first
// tick on a busy machine.
class CountdownRecorder
{
public:
    CountdownRecorder()
    {
        ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        current = this;
        hook = SetWindowsHookExW(WH_CALLWNDPROC, &CountdownRecorder::onMessage, nullptr, GetCurrentThreadId());
    }
    ~CountdownRecorder()
    {
        if (hook)
            UnhookWindowsHookEx(hook);
        current = nullptr;
        CloseHandle(ready);
    }
    bool hooked() const { return hook != nullptr; }
    bool waitForCaption() const { return WaitForSingleObject(ready, 30000) == WAIT_OBJECT_0; }
    // Valid once waitForCaption() returned true.
    std::wstring caption;

private:
    static LRESULT CALLBACK onMessage(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        CountdownRecorder* self = current;
        if (code == HC_ACTION && self && message->message == WM_SETTEXT && GetDlgCtrlID(message->hwnd) == IDOK
            && WaitForSingleObject(self->ready, 0) == WAIT_TIMEOUT) {
            const std::wstring text = reinterpret_cast<const wchar_t*>(message->lParam);
            if (text.find(L" = ") != std::wstring::npos) {
                self->caption = text;
                SetEvent(self->ready);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline CountdownRecorder* current = nullptr;
    HHOOK hook = nullptr;
    HANDLE ready = nullptr;
};

} // namespace

WIN_TEST(xmessagebox, crashReportBox)
{
    XMessageBoxParams params;
    params.options = XMSGBOX_OPTIONS_TWO_TONE;
    params.useCustomCaptions = TRUE;
    lstrcpynW(params.customCaptions[XMSGBOX_CAPTION_YES], L"Send Report (Recommended)", 260);
    lstrcpynW(params.customCaptions[XMSGBOX_CAPTION_NO], L"Cancel", 260);

    std::wstring seen;
    bool rightAligned = false;
    BoxDriver driver(L"Report box", [&](HWND box) {
        seen = itemText(box, IDYES) + L"|" + itemText(box, IDNO) + L"|" + itemText(box, IDOK) + L"|"
            + itemText(box, 1001) + L"|"
            + (GetMenuState(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED ? L"close greyed"
                                                                                           : L"close enabled")
            + L"|" + (GetDlgItem(box, 1000) ? L"icon" : L"no icon");
        RECT client;
        RECT cancel;
        GetClientRect(box, &client);
        GetWindowRect(GetDlgItem(box, IDNO), &cancel);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&cancel), 2);
        rightAligned = client.right - cancel.right < 24 && client.right - cancel.right >= 8;
        // Neither Esc nor the close command ends a Yes/No box.
        pressKey(box, VK_ESCAPE);
        PostMessageW(box, WM_CLOSE, 0, 0);
        press(box, IDNO);
    });
    const int result = XMessageBox(nullptr, L"Something broke.", L"Report box", 0x60000014, &params);
    CHECK(driver.sawBox());
    CHECK_EQ(result, IDNO);
    CHECK_EQ(seen, std::wstring(L"Send Report (Recommended)|Cancel|(none)|Something broke.|close greyed|icon"));
    CHECK(rightAligned);

    BoxDriver yes(L"Report box", [](HWND box) { press(box, IDYES); });
    CHECK_EQ(XMessageBox(nullptr, L"Again.", L"Report box", 0x60000014, &params), IDYES);
}

WIN_TEST(xmessagebox, buttonSetsAndEscape)
{
    struct Case
    {
        UINT type;
        std::wstring buttons; // ids 1-7, 10, 11
        int escapeResult; // 0: Esc does nothing
    };
    const Case cases[] = {
        {MB_OK, L"OK", IDOK},
        {MB_OKCANCEL, L"OK|Cancel", IDCANCEL},
        {MB_YESNOCANCEL, L"Cancel|&Yes|&No", IDCANCEL},
        {MB_ABORTRETRYIGNORE, L"&Abort|&Retry|&Ignore", 0},
        {MB_CANCELTRYCONTINUE, L"Cancel|&Try Again|&Continue", IDCANCEL},
    };
    const int ids[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE};
    for (const Case& c : cases) {
        std::wstring seen;
        BoxDriver driver(L"Sets", [&](HWND box) {
            for (const int id : ids) {
                if (!GetDlgItem(box, id))
                    continue;
                seen += (seen.empty() ? L"" : L"|") + itemText(box, id);
            }
            pressKey(box, VK_ESCAPE);
            if (c.escapeResult == 0) {
                Sleep(300);
                press(box, IDRETRY);
            }
        });
        const int result = XMessageBox(nullptr, L"Text", L"Sets", c.type | XMSGBOX_NO_SOUND, nullptr);
        CHECK_EQ(seen, c.buttons);
        CHECK_EQ(result, c.escapeResult ? c.escapeResult : IDRETRY);
    }
}

WIN_TEST(xmessagebox, defaultButtonAndCountdown)
{
    // 0x300 on a two-button set: the first button.
    LRESULT defaultId = 0;
    {
        BoxDriver driver(L"Default", [&](HWND box) {
            defaultId = SendMessageW(box, DM_GETDEFID, 0, 0);
            press(box, IDNO);
        });
        CHECK_EQ(XMessageBox(nullptr, L"Text", L"Default", MB_YESNO | 0x300 | XMSGBOX_NO_SOUND, nullptr), IDNO);
    }
    CHECK_EQ(int(LOWORD(defaultId)), IDYES);

    // 1000 seconds become 10; the button counts down in its caption.
    XMessageBoxParams params;
    params.timeoutSeconds = 1000;
    CountdownRecorder recorder;
    CHECK(recorder.hooked());
    bool captionSeen = false;
    {
        BoxDriver driver(L"Countdown", [&](HWND box) {
            captionSeen = recorder.waitForCaption();
            press(box, IDOK);
        });
        CHECK_EQ(XMessageBox(nullptr, L"Text", L"Countdown", MB_OK | XMSGBOX_NO_SOUND, &params), IDOK);
    }
    CHECK(captionSeen);
    CHECK_EQ(recorder.caption, std::wstring(L"OK = 10"));

    // Left alone, the countdown presses the default button.
    params.timeoutSeconds = 1;
    CHECK_EQ(XMessageBox(nullptr, L"Text", L"Countdown", MB_OKCANCEL | XMSGBOX_NO_SOUND, &params),
             int(IDOK | 0x80000000u));
}

WIN_TEST(xmessagebox, savedAnswerReturnsWithoutAWindow)
{
    SavedAnswersKey cleanup;
    XMessageBoxParams params;
    lstrcpynW(params.companyName, L"Tulverhaven Software", 260);
    params.module = L"tst_xmessagebox_win.cpp";
    params.line = 42;
    std::wstring checkBox;
    {
        BoxDriver driver(L"Ask", [&](HWND box) {
            checkBox = itemText(box, XMSGBOX_IDCHECKBOX);
            SendMessageW(GetDlgItem(box, XMSGBOX_IDCHECKBOX), BM_SETCHECK, BST_CHECKED, 0);
            press(box, IDNO);
        });
        CHECK_EQ(XMessageBox(nullptr, L"Text", L"Ask", MB_YESNO | XMSGBOX_DONT_ASK_AGAIN | XMSGBOX_NO_SOUND, &params),
                 int(IDNO | XMSGBOX_DONT_ASK_AGAIN));
    }
    CHECK_EQ(checkBox, std::wstring(L"Don't ask me again"));
    CHECK_EQ(readSavedAnswer(params.companyName, params.module, params.line), DWORD(IDNO | XMSGBOX_DONT_ASK_AGAIN));

    // Asked again: the saved answer, no box (a box would be answered Yes here).
    BoxDriver driver(
        L"Ask", [](HWND box) { press(box, IDYES); }, 1000);
    CHECK_EQ(XMessageBox(nullptr, L"Text", L"Ask", MB_YESNO | XMSGBOX_DONT_ASK_AGAIN | XMSGBOX_NO_SOUND, &params),
             int(IDNO | XMSGBOX_DONT_ASK_AGAIN));
    CHECK(!driver.sawBox());
    // Another line has no answer yet.
    CHECK_EQ(readSavedAnswer(params.companyName, params.module, 43), DWORD(0));
}

WIN_TEST(xmessagebox, ctrlCCopiesTheText)
{
    std::wstring copied;
    BoxDriver driver(L"Copy", [&](HWND box) {
        // Ctrl held down in the box thread's keyboard state, then C.
        const DWORD boxThread = GetWindowThreadProcessId(box, nullptr);
        AttachThreadInput(GetCurrentThreadId(), boxThread, TRUE);
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        PostMessageW(GetDlgItem(box, IDOK), WM_KEYDOWN, 'C', 0);
        for (int i = 0; i < 600 && copied.empty(); ++i) {
            Sleep(50);
            if (OpenClipboard(nullptr)) {
                if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                    copied = static_cast<const wchar_t*>(GlobalLock(data));
                    GlobalUnlock(data);
                }
                CloseClipboard();
            }
        }
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        AttachThreadInput(GetCurrentThreadId(), boxThread, FALSE);
        press(box, IDCANCEL);
    });
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    CHECK_EQ(XMessageBox(nullptr, L"Line one", L"Copy", MB_OKCANCEL | XMSGBOX_NO_SOUND, nullptr), IDCANCEL);
    const std::wstring line = L"---------------------------\r\n";
    CHECK_EQ(copied, line + L"Copy\r\n" + line + L"Line one\r\n" + line + L"OK   Cancel   \r\n" + line);
}

WIN_TEST(xmessagebox, customButtonsAndThePlatformBox)
{
    // Up to four captions split at line feeds replace the set; Esc gives 2.
    XMessageBoxParams params;
    lstrcpynW(params.customButtons, L"Keep\nDiscard\nLater", 260);
    std::wstring seen;
    {
        BoxDriver driver(L"Custom", [&](HWND box) {
            seen = itemText(box, 23) + L"|" + itemText(box, 24) + L"|" + itemText(box, 25) + L"|" + itemText(box, 26)
                + L"|" + itemText(box, IDOK);
            pressKey(box, VK_ESCAPE);
        });
        CHECK_EQ(XMessageBox(nullptr, L"Text", L"Custom", MB_OK | XMSGBOX_NO_SOUND, &params), IDCANCEL);
    }
    CHECK_EQ(seen, std::wstring(L"Keep|Discard|Later|(none)|(none)"));

    // A system-modal error is the platform's own box, without our message control.
    bool ours = true;
    BoxDriver driver(L"Platform", [&](HWND box) {
        ours = GetDlgItem(box, 1001) != nullptr;
        press(box, IDOK);
    });
    CHECK_EQ(XMessageBox(nullptr, L"Text", L"Platform", MB_OK | MB_SYSTEMMODAL | MB_ICONERROR, nullptr), IDOK);
    CHECK(driver.sawBox());
    CHECK(!ours);
}

WIN_TEST(xmessagebox, cancelIsPlainAndNeverRemembered)
{
    SavedAnswersKey cleanup;
    XMessageBoxParams params;
    lstrcpynW(params.companyName, L"Tulverhaven Software", 260);
    params.module = L"tst_xmessagebox_win.cpp";
    struct Case
    {
        UINT set;
        bool escape; // Esc instead of the Cancel button
        int line;
    };
    const Case cases[] = {
        {MB_YESNOCANCEL, false, 100},
        {MB_YESNOCANCEL, true, 101},
        {MB_OKCANCEL, false, 102},
        {MB_RETRYCANCEL, true, 103},
    };
    for (const Case& c : cases) {
        params.line = c.line;
        BoxDriver driver(L"Cancel", [&](HWND box) {
            SendMessageW(GetDlgItem(box, XMSGBOX_IDCHECKBOX), BM_SETCHECK, BST_CHECKED, 0);
            if (c.escape)
                PostMessageW(GetDlgItem(box, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
            else
                press(box, IDCANCEL);
        });
        CHECK_EQ(XMessageBox(nullptr, L"Text", L"Cancel", c.set | XMSGBOX_DONT_ASK_AGAIN | XMSGBOX_NO_SOUND, &params),
                 IDCANCEL);
        CHECK(driver.sawBox());
        CHECK_EQ(readSavedAnswer(params.companyName, params.module, c.line), DWORD(0));
    }
}

WIN_TEST(xmessagebox, defaultButtonOfSevenButtons)
{
    // Yes, Yes to All, No, No to All, Cancel, Help, Report.
    XMessageBoxParams params;
    params.reportCallback = [](const wchar_t*, DWORD) {};
    struct Case
    {
        UINT bits;
        int expected;
    };
    const Case cases[] = {
        {0x000, IDYES}, {0x400, IDCANCEL}, {0x500, XMSGBOX_IDHELP}, {0x600, IDYES}, {0xF00, IDYES},
    };
    const UINT type = MB_YESNOCANCEL | XMSGBOX_YES_TO_ALL | XMSGBOX_NO_TO_ALL | MB_HELP | XMSGBOX_NO_SOUND;
    for (const Case& c : cases) {
        LRESULT defaultId = 0;
        int buttons = 0;
        BoxDriver driver(L"Seven", [&](HWND box) {
            defaultId = SendMessageW(box, DM_GETDEFID, 0, 0);
            const int ids[]
                = {IDYES, XMSGBOX_IDYESTOALL, IDNO, XMSGBOX_IDNOTOALL, IDCANCEL, XMSGBOX_IDHELP, XMSGBOX_IDREPORT};
            for (const int id : ids)
                buttons += GetDlgItem(box, id) != nullptr;
            press(box, IDNO);
        });
        CHECK_EQ(XMessageBox(nullptr, L"Text", L"Seven", type | c.bits, &params), IDNO);
        CHECK_EQ(buttons, 7);
        CHECK_EQ(int(LOWORD(defaultId)), c.expected);
    }
}

WIN_TEST(xmessagebox, captionFromAStringIdKeeps99Characters)
{
    // String 9100 of this program has 120 characters.
    XMessageBoxParams params;
    params.reportCaptionId = 9100;
    params.reportCallback = [](const wchar_t*, DWORD) {};
    wchar_t full[200] = {};
    CHECK_EQ(LoadStringW(GetModuleHandleW(nullptr), 9100, full, 200), 120);
    std::wstring caption;
    BoxDriver driver(L"Long caption", [&](HWND box) {
        caption = itemText(box, XMSGBOX_IDREPORT);
        press(box, IDOK);
    });
    CHECK_EQ(XMessageBox(nullptr, L"Text", L"Long caption", MB_OK | XMSGBOX_NO_SOUND, &params), IDOK);
    CHECK_EQ(caption, std::wstring(full, 99));
}
