#pragma once

// A message box of the system's look built from an in-memory dialog template:
// replaceable captions, any icon resource, extended and custom buttons, a
// "Don't ask me again" check box remembered in the registry, a countdown, and
// Ctrl+C copying. Needs nothing but Win32, so a crashed process can show it.

#include <windows.h>

enum : DWORD {
    XMSGBOX_OPTIONS_RIGHT_JUSTIFY_BUTTONS = 0x01,
    XMSGBOX_OPTIONS_TWO_TONE = 0x02,
    XMSGBOX_OPTIONS_NARROW = 0x04,
};

// Caption slots, in the order of XMessageBoxParams::customCaptions.
enum : int {
    XMSGBOX_CAPTION_ABORT,
    XMSGBOX_CAPTION_CANCEL,
    XMSGBOX_CAPTION_CONTINUE,
    XMSGBOX_CAPTION_DONT_ASK,
    XMSGBOX_CAPTION_DONT_TELL,
    XMSGBOX_CAPTION_DONT_SHOW,
    XMSGBOX_CAPTION_HELP,
    XMSGBOX_CAPTION_IGNORE,
    XMSGBOX_CAPTION_IGNORE_ALL,
    XMSGBOX_CAPTION_NO,
    XMSGBOX_CAPTION_NO_TO_ALL,
    XMSGBOX_CAPTION_OK,
    XMSGBOX_CAPTION_REPORT,
    XMSGBOX_CAPTION_RETRY,
    XMSGBOX_CAPTION_SKIP,
    XMSGBOX_CAPTION_SKIP_ALL,
    XMSGBOX_CAPTION_TRY_AGAIN,
    XMSGBOX_CAPTION_YES,
    XMSGBOX_CAPTION_YES_TO_ALL,
    XMSGBOX_CAPTION_COUNT
};

// Type bits beyond MessageBoxW's.
enum : UINT {
    XMSGBOX_DONT_ASK_AGAIN = 0x01000000,
    XMSGBOX_DONT_TELL_AGAIN = 0x02000000,
    XMSGBOX_DONT_SHOW_AGAIN = 0x04000000,
    XMSGBOX_YES_TO_ALL = 0x08000000,
    XMSGBOX_NO_TO_ALL = 0x10000000,
    XMSGBOX_NO_STRING_LOOKUP = 0x20000000,
    XMSGBOX_NO_SOUND = 0x40000000,
};

// Results beyond MessageBoxW's.
enum : int {
    XMSGBOX_IDSKIP = 14,
    XMSGBOX_IDSKIPALL = 15,
    XMSGBOX_IDIGNOREALL = 16,
    XMSGBOX_IDYESTOALL = 19,
    XMSGBOX_IDNOTOALL = 20,
    XMSGBOX_IDCUSTOM1 = 23,
    XMSGBOX_IDHELP = 300,
    XMSGBOX_IDREPORT = 301,
    XMSGBOX_IDCHECKBOX = 5555,
    XMSGBOX_TIMED_OUT = int(0x80000000),
};

using XMessageBoxReportCallback = void (*)(const wchar_t* message, DWORD data);

// The caller's optional settings; the layout is fixed.
struct XMessageBoxParams
{
    UINT helpId = 0;
    int timeoutSeconds = 0;
    int disabledSeconds = 0;
    int x = 0;
    int y = 0;
    DWORD options = 0;
    HINSTANCE stringsInstance = nullptr;
    HINSTANCE iconInstance = nullptr;
    UINT iconId = 0;
    wchar_t iconName[MAX_PATH] = {};
    UINT customButtonsId = 0;
    wchar_t customButtons[MAX_PATH] = {};
    UINT reportCaptionId = 0;
    wchar_t reportCaption[MAX_PATH] = {};
    wchar_t companyName[MAX_PATH] = {};
    const wchar_t* module = nullptr;
    int line = 0;
    DWORD reportData = 0;
    XMessageBoxReportCallback reportCallback = nullptr;
    COLORREF textColor = 0xFFFFFFFF;
    COLORREF backgroundColor = 0xFFFFFFFF;
    BOOL useCustomCaptions = FALSE;
    wchar_t customCaptions[XMSGBOX_CAPTION_COUNT][MAX_PATH] = {};
};

// Shows the box and returns the pressed button's id (with the check box's type
// bit when ticked, with 0x80000000 when the countdown pressed it), a saved
// answer without showing anything, 2 without memory, -1 when no dialog could
// be made. Text and title of at most 0xFFFF are string ids.
int XMessageBox(HWND owner, const wchar_t* text, const wchar_t* title, UINT type, const XMessageBoxParams* params);

// The saved answer for the asking place, 0 when there is none.
DWORD readSavedAnswer(const wchar_t* companyName, const wchar_t* module, int line);
