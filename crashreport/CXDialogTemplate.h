#pragma once

#include "XMessageBox.h"

#include <windows.h>

#include <string>

// One control of the in-memory dialog template.
class CXDialogItem
{
public:
    CXDialogItem(DWORD style, int x, int y, int width, int height, WORD id, WORD classAtom, const wchar_t* caption);
    virtual ~CXDialogItem();

    CXDialogItem(const CXDialogItem&) = delete;
    CXDialogItem& operator=(const CXDialogItem&) = delete;

    DWORD style;
    DWORD extendedStyle = 0;
    short x;
    short y;
    short width;
    short height;
    WORD id;
    WORD classAtom;
    wchar_t* caption;
};

// The box under construction and on screen: measures and lays out the message,
// icon, buttons and check box in pixels, turns them into a dialog template and
// runs it with its own message loop.
class CXDialogTemplate
{
public:
    CXDialogTemplate(HWND owner, const wchar_t* text, const wchar_t* title, UINT type, const XMessageBoxParams& params);
    virtual ~CXDialogTemplate();

    CXDialogTemplate(const CXDialogTemplate&) = delete;
    CXDialogTemplate& operator=(const CXDialogTemplate&) = delete;

    int display();

    // Ctrl+C: the title, the message and the button captions on the clipboard.
    bool copyMessageToClipboard(HWND dialog, WPARAM key);

    friend INT_PTR CALLBACK xMessageBoxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static constexpr int maxItems = 20;
    static constexpr int captionLength = 100;
    static constexpr int textLength = 65536;

    struct Button
    {
        int slot;
        int id;
        std::wstring caption;
    };

    void loadCaptions(const XMessageBoxParams& params);
    void loadIcon(const XMessageBoxParams& params);
    int measureCaption(HDC dc, const wchar_t* caption) const;
    void layout();
    bool addItem(DWORD style, int x, int y, int width, int height, WORD id, WORD classAtom, const wchar_t* caption);
    bool escapeAllowed() const;
    void endDialog(HWND dialog, int result);
    void stopCountdown(HWND dialog);
    void saveAnswer(int result) const;
    void onInitDialog(HWND dialog);

    CXDialogItem* items[maxItems] = {};
    int itemCount = 0;

    wchar_t* message = nullptr;
    wchar_t* title = nullptr;
    wchar_t captions[XMSGBOX_CAPTION_COUNT][captionLength] = {};
    int captionWidths[XMSGBOX_CAPTION_COUNT] = {};
    std::wstring customButtonsText;
    std::wstring companyName;

    HWND owner = nullptr;
    UINT type = 0;
    DWORD options = 0;
    int timeoutSeconds = 0;
    int disabledSeconds = 0;
    int x = 0;
    int y = 0;
    UINT helpId = 0;
    XMessageBoxReportCallback reportCallback = nullptr;
    DWORD reportData = 0;
    std::wstring module;
    int line = 0;

    HFONT font = nullptr;
    HICON icon = nullptr;
    HBRUSH backgroundBrush = nullptr;
    COLORREF textColor = 0xFFFFFFFF;
    COLORREF backgroundColor = 0xFFFFFFFF;
    bool ownsIcon = false;

    DWORD dialogStyle = 0;
    DWORD dialogExtendedStyle = 0;
    short dialogX = 0;
    short dialogY = 0;
    short dialogWidth = 0;
    short dialogHeight = 0;

    int messageId = 1001;
    int defaultButtonId = 0;
    int nextMessageId = 1002;
    int checkBoxBit = 0;
    int checkBoxSlot = -1;

    int result = -1;
    bool done = false;
    wchar_t defaultButtonCaption[captionLength] = {};
    WNDPROC iconProc = nullptr;
};

// The box's dialog procedure.
INT_PTR CALLBACK xMessageBoxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Where saved answers live under HKEY_CURRENT_USER, and the value of one asking place.
std::wstring savedAnswerKeyPath(const wchar_t* companyName);
std::wstring savedAnswerValueName(const wchar_t* module, int line);
