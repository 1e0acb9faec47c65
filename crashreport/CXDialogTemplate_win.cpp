#include "CXDialogTemplate.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace {

constexpr WORD buttonClass = 0x80;
constexpr WORD staticClass = 0x82;
constexpr int iconControlId = 1000;
constexpr int countdownTimer = 1;
constexpr int disabledTimer = 2;

struct CaptionEntry
{
    UINT stringId;
    const wchar_t* builtIn;
};

const CaptionEntry captionTable[XMSGBOX_CAPTION_COUNT] = {
    {9005, L"&Abort"},
    {9002, L"Cancel"},
    {9009, L"&Continue"},
    {9010, L"Don't ask me again"},
    {9011, L"Don't tell me again"},
    {9012, L"Don't show again"},
    {9006, L"&Help"},
    {9003, L"&Ignore"},
    {9017, L"I&gnore All"},
    {9008, L"&No"},
    {9014, L"N&o to All"},
    {9001, L"OK"},
    {9016, L"Re&port"},
    {9004, L"&Retry"},
    {9018, L"&Skip"},
    {9019, L"S&kip All"},
    {9015, L"&Try Again"},
    {9007, L"&Yes"},
    {9013, L"Y&es to All"},
};

HINSTANCE exeModule()
{
    return GetModuleHandleW(nullptr);
}

// Copies at most capacity - 1 characters; never writes beyond capacity.
void copyLimited(wchar_t* out, int capacity, const wchar_t* text)
{
    lstrcpynW(out, text ? text : L"", capacity);
}

// A text argument: a string id when the pointer value is at most 0xFFFF.
void loadText(wchar_t* out, int capacity, const wchar_t* text, HINSTANCE strings)
{
    out[0] = 0;
    if (reinterpret_cast<ULONG_PTR>(text) <= 0xFFFF) {
        if (text)
            LoadStringW(strings, UINT(reinterpret_cast<ULONG_PTR>(text)), out, capacity);
    } else {
        copyLimited(out, capacity, text);
    }
}

struct ButtonSpec
{
    int slot;
    int id;
};

// The standard set of a type, left to right, and whether Esc may end it.
std::vector<ButtonSpec> standardButtons(UINT type, bool& escape)
{
    const bool yesToAll = type & XMSGBOX_YES_TO_ALL;
    const bool noToAll = type & XMSGBOX_NO_TO_ALL;
    auto yesNo = [&](std::vector<ButtonSpec>& set) {
        set.push_back({XMSGBOX_CAPTION_YES, IDYES});
        if (yesToAll)
            set.push_back({XMSGBOX_CAPTION_YES_TO_ALL, XMSGBOX_IDYESTOALL});
        set.push_back({XMSGBOX_CAPTION_NO, IDNO});
        if (noToAll)
            set.push_back({XMSGBOX_CAPTION_NO_TO_ALL, XMSGBOX_IDNOTOALL});
    };
    std::vector<ButtonSpec> set;
    escape = true;
    switch (type & 0x0F) {
    case MB_OK:
        set = {{XMSGBOX_CAPTION_OK, IDOK}};
        break;
    case MB_OKCANCEL:
        set = {{XMSGBOX_CAPTION_OK, IDOK}, {XMSGBOX_CAPTION_CANCEL, IDCANCEL}};
        break;
    case MB_ABORTRETRYIGNORE:
        set = {{XMSGBOX_CAPTION_ABORT, IDABORT}, {XMSGBOX_CAPTION_RETRY, IDRETRY}, {XMSGBOX_CAPTION_IGNORE, IDIGNORE}};
        escape = false;
        break;
    case MB_YESNOCANCEL:
        yesNo(set);
        set.push_back({XMSGBOX_CAPTION_CANCEL, IDCANCEL});
        break;
    case MB_YESNO:
        yesNo(set);
        escape = false;
        break;
    case MB_RETRYCANCEL:
        set = {{XMSGBOX_CAPTION_RETRY, IDRETRY}, {XMSGBOX_CAPTION_CANCEL, IDCANCEL}};
        break;
    case MB_CANCELTRYCONTINUE:
        set = {{XMSGBOX_CAPTION_CANCEL, IDCANCEL},
               {XMSGBOX_CAPTION_TRY_AGAIN, IDTRYAGAIN},
               {XMSGBOX_CAPTION_CONTINUE, IDCONTINUE}};
        break;
    case 7:
        set = {{XMSGBOX_CAPTION_CONTINUE, IDCONTINUE}, {XMSGBOX_CAPTION_ABORT, IDABORT}};
        escape = false;
        break;
    case 8:
        set = {{XMSGBOX_CAPTION_SKIP, XMSGBOX_IDSKIP},
               {XMSGBOX_CAPTION_SKIP_ALL, XMSGBOX_IDSKIPALL},
               {XMSGBOX_CAPTION_CANCEL, IDCANCEL}};
        break;
    case 9:
        set = {{XMSGBOX_CAPTION_IGNORE, IDIGNORE},
               {XMSGBOX_CAPTION_IGNORE_ALL, XMSGBOX_IDIGNOREALL},
               {XMSGBOX_CAPTION_CANCEL, IDCANCEL}};
        break;
    default:
        set = {{XMSGBOX_CAPTION_OK, IDOK}};
        escape = false;
        break;
    }
    return set;
}

LRESULT CALLBACK iconControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    const HICON icon = reinterpret_cast<HICON>(GetWindowLongPtrW(control, GWLP_USERDATA));
    const WNDPROC original = reinterpret_cast<WNDPROC>(GetPropW(control, L"XMessageBoxIconProc"));
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(control, &paint);
        if (icon)
            DrawIcon(dc, 0, 0, icon);
        EndPaint(control, &paint);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(control, L"XMessageBoxIconProc");
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    return CallWindowProcW(original, control, message, wParam, lParam);
}

} // namespace

CXDialogItem::CXDialogItem(DWORD style, int x, int y, int width, int height, WORD id, WORD classAtom,
                           const wchar_t* text)
    : style(style)
    , x(short(x))
    , y(short(y))
    , width(short(width))
    , height(short(height))
    , id(id)
    , classAtom(classAtom)
{
    const std::size_t length = text ? wcslen(text) : 0;
    caption = new wchar_t[length + 1];
    copyLimited(caption, int(length + 1), text);
}

CXDialogItem::~CXDialogItem()
{
    delete[] caption;
}

CXDialogTemplate::CXDialogTemplate(HWND owner, const wchar_t* text, const wchar_t* titleText, UINT type,
                                   const XMessageBoxParams& params)
    : owner(owner)
    , type(type)
    , options(params.options)
    , timeoutSeconds(params.timeoutSeconds)
    , disabledSeconds(params.disabledSeconds)
    , x(params.x)
    , y(params.y)
    , helpId(params.helpId)
    , reportCallback(params.reportCallback)
    , reportData(params.reportData)
    , module(params.module ? params.module : L"")
    , line(params.line)
    , textColor(params.textColor)
    , backgroundColor(params.backgroundColor)
{
    const HINSTANCE strings = params.stringsInstance ? params.stringsInstance : exeModule();
    message = new wchar_t[textLength];
    title = new wchar_t[textLength];
    loadText(message, textLength, text, strings);
    loadText(title, textLength, titleText, strings);
    companyName = params.companyName;

    if (params.customButtonsId != 0) {
        wchar_t buttons[MAX_PATH] = {};
        LoadStringW(strings, params.customButtonsId, buttons, MAX_PATH);
        customButtonsText = buttons;
    }
    if (customButtonsText.empty()) {
        wchar_t buttons[MAX_PATH] = {};
        copyLimited(buttons, MAX_PATH, params.customButtons);
        customButtonsText = buttons;
    }

    if (type & XMSGBOX_DONT_ASK_AGAIN) {
        checkBoxBit = XMSGBOX_DONT_ASK_AGAIN;
        checkBoxSlot = XMSGBOX_CAPTION_DONT_ASK;
    } else if (type & XMSGBOX_DONT_TELL_AGAIN) {
        checkBoxBit = XMSGBOX_DONT_TELL_AGAIN;
        checkBoxSlot = XMSGBOX_CAPTION_DONT_TELL;
    } else if (type & XMSGBOX_DONT_SHOW_AGAIN) {
        checkBoxBit = XMSGBOX_DONT_SHOW_AGAIN;
        checkBoxSlot = XMSGBOX_CAPTION_DONT_SHOW;
    }

    loadCaptions(params);
    loadIcon(params);
    layout();
}

CXDialogTemplate::~CXDialogTemplate()
{
    if (icon && ownsIcon)
        DestroyIcon(icon);
    if (font)
        DeleteObject(font);
    if (backgroundBrush)
        DeleteObject(backgroundBrush);
    for (int i = 0; i < itemCount; ++i)
        delete items[i];
    delete[] message;
    delete[] title;
}

void CXDialogTemplate::loadCaptions(const XMessageBoxParams& params)
{
    const HINSTANCE strings = params.stringsInstance ? params.stringsInstance : exeModule();
    wchar_t* report = captions[XMSGBOX_CAPTION_REPORT];
    if (params.reportCaptionId != 0)
        LoadStringW(strings, params.reportCaptionId, report, captionLength);
    if (report[0] == 0)
        copyLimited(report, captionLength, params.reportCaption);

    for (int slot = 0; slot < XMSGBOX_CAPTION_COUNT; ++slot) {
        if (slot != XMSGBOX_CAPTION_REPORT || captions[slot][0] == 0)
            copyLimited(captions[slot], captionLength, captionTable[slot].builtIn);
    }

    if (params.useCustomCaptions) {
        for (int slot = 0; slot < XMSGBOX_CAPTION_COUNT; ++slot) {
            if (params.customCaptions[slot][0] == 0)
                continue;
            if (slot == XMSGBOX_CAPTION_REPORT && captions[slot][0] != 0)
                continue;
            // Longer captions are cut to the slot.
            copyLimited(captions[slot], captionLength, params.customCaptions[slot]);
        }
    } else if (!(type & XMSGBOX_NO_STRING_LOOKUP)) {
        for (int slot = 0; slot < XMSGBOX_CAPTION_COUNT; ++slot) {
            if (slot == XMSGBOX_CAPTION_REPORT)
                continue;
            wchar_t loaded[captionLength] = {};
            if (LoadStringW(strings, captionTable[slot].stringId, loaded, captionLength) > 0)
                copyLimited(captions[slot], captionLength, loaded);
        }
    }
}

void CXDialogTemplate::loadIcon(const XMessageBoxParams& params)
{
    const HINSTANCE module = params.iconInstance ? params.iconInstance : exeModule();
    if (params.iconId != 0)
        icon = LoadIconW(module, MAKEINTRESOURCEW(params.iconId));
    else if (params.iconName[0] != 0)
        icon = LoadIconW(module, params.iconName);
    if (icon)
        return;
    switch (type & 0xF0) {
    case 0:
        break;
    case MB_ICONHAND:
        icon = LoadIconW(nullptr, IDI_HAND);
        break;
    case MB_ICONQUESTION:
        icon = LoadIconW(nullptr, IDI_QUESTION);
        break;
    case MB_ICONASTERISK:
        icon = LoadIconW(nullptr, IDI_ASTERISK);
        break;
    default:
        icon = LoadIconW(nullptr, IDI_EXCLAMATION);
        break;
    }
}

int CXDialogTemplate::measureCaption(HDC dc, const wchar_t* caption) const
{
    RECT rect{0, 0, 0, 0};
    DrawTextW(dc, caption, -1, &rect, DT_CALCRECT | DT_SINGLELINE);
    return rect.right - rect.left;
}

bool CXDialogTemplate::addItem(DWORD style, int left, int top, int width, int height, WORD id, WORD classAtom,
                               const wchar_t* caption)
{
    if (itemCount >= maxItems)
        return false;
    const LONG units = GetDialogBaseUnits();
    const int baseX = LOWORD(units);
    const int baseY = HIWORD(units);
    items[itemCount++] = new CXDialogItem(style, left * 4 / baseX, top * 8 / baseY, width * 4 / baseX,
                                          height * 8 / baseY, id, classAtom, caption);
    return true;
}

bool CXDialogTemplate::escapeAllowed() const
{
    if (!customButtonsText.empty())
        return true;
    bool escape = false;
    standardButtons(type, escape);
    return escape;
}

void CXDialogTemplate::layout()
{
    const LONG units = GetDialogBaseUnits();
    const int baseX = LOWORD(units);
    const int baseY = HIWORD(units);
    const bool twoTone = options & XMSGBOX_OPTIONS_TWO_TONE;

    int minButtonWidth = MulDiv(38, baseX, 4);
    int buttonHeight = MulDiv(12, baseY, 8);
    const int countdownWidth = MulDiv(13, baseX, 4);
    const int checkHeight = MulDiv(10, baseY, 8);
    if (twoTone) {
        minButtonWidth += MulDiv(6, baseX, 4);
        buttonHeight += MulDiv(1, baseY, 8);
        options |= XMSGBOX_OPTIONS_RIGHT_JUSTIFY_BUTTONS;
        if (backgroundColor == 0xFFFFFFFF)
            backgroundColor = GetSysColor(COLOR_WINDOW);
    }
    if (backgroundColor != 0xFFFFFFFF)
        backgroundBrush = CreateSolidBrush(backgroundColor);

    NONCLIENTMETRICSW metrics{};
    // The size of the record before Vista added a field: accepted everywhere.
    metrics.cbSize = 500;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    HDC dc = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    HGDIOBJ oldFont = dc && font ? SelectObject(dc, font) : nullptr;

    for (int slot = 0; slot < XMSGBOX_CAPTION_COUNT; ++slot) {
        const int textWidth = dc ? measureCaption(dc, captions[slot]) : 0;
        captionWidths[slot]
            = std::max<int>(textWidth + 20, minButtonWidth) + (timeoutSeconds != 0 ? countdownWidth : 0);
    }

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int maxTextWidth = screenWidth / 2 + 80;
    if (twoTone)
        maxTextWidth = screenWidth / 2 - 10;
    if (options & XMSGBOX_OPTIONS_NARROW)
        maxTextWidth = screenWidth / 3;
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    if (type & 0xF0)
        maxTextWidth -= iconWidth + 16;

    RECT textRect{0, 0, maxTextWidth, maxTextWidth};
    RECT lineRect{0, 0, maxTextWidth, maxTextWidth};
    if (dc) {
        DrawTextW(dc, message, -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
        DrawTextW(dc, L"My", -1, &lineRect, DT_CALCRECT | DT_SINGLELINE);
    }
    const int textWidth = textRect.right - textRect.left;
    const int textHeight = textRect.bottom - textRect.top;
    const int lineHeight = lineRect.bottom - lineRect.top;

    std::vector<Button> buttons;
    if (!customButtonsText.empty()) {
        std::wstring rest = customButtonsText;
        int id = XMSGBOX_IDCUSTOM1;
        while (!rest.empty() && id < XMSGBOX_IDCUSTOM1 + 4) {
            const std::size_t end = rest.find(L'\n');
            buttons.push_back({-1, id++, rest.substr(0, end)});
            rest = end == std::wstring::npos ? std::wstring() : rest.substr(end + 1);
        }
    } else {
        bool escape = false;
        for (const ButtonSpec& spec : standardButtons(type, escape))
            buttons.push_back({spec.slot, spec.id, captions[spec.slot]});
    }
    if (type & MB_HELP)
        buttons.push_back({XMSGBOX_CAPTION_HELP, XMSGBOX_IDHELP, captions[XMSGBOX_CAPTION_HELP]});
    if (reportCallback)
        buttons.push_back({XMSGBOX_CAPTION_REPORT, XMSGBOX_IDREPORT, captions[XMSGBOX_CAPTION_REPORT]});

    std::vector<int> widths;
    for (const Button& button : buttons) {
        if (button.slot >= 0) {
            widths.push_back(captionWidths[button.slot]);
        } else {
            const int width = dc ? measureCaption(dc, button.caption.c_str()) : 0;
            widths.push_back(std::max<int>(width + 20, minButtonWidth) + (timeoutSeconds != 0 ? countdownWidth : 0));
        }
    }
    const int checkWidth = checkBoxSlot >= 0 ? captionWidths[checkBoxSlot] + checkHeight : 0;
    if (dc) {
        if (oldFont)
            SelectObject(dc, oldFont);
        DeleteDC(dc);
    }

    // Pixels from here on.
    RECT messageRect{16, twoTone ? 32 : 16, textWidth + 28, textHeight + (twoTone ? 61 : 29)};
    RECT iconRect{0, 0, 0, 0};
    int contentRight = messageRect.right + (twoTone ? 16 : 0);
    int contentBottom = std::max<int>(70, messageRect.bottom);
    if (icon) {
        const int d = twoTone ? 24 : 8;
        iconRect = {d, d, d + iconWidth + 2, d + iconHeight + 2};
        OffsetRect(&messageRect, d + iconWidth, 0);
        if (twoTone && textHeight > lineHeight)
            OffsetRect(&messageRect, 0, iconRect.top - messageRect.top);
        contentRight = messageRect.right + (twoTone ? 24 : 8);
        contentBottom = std::max<int>(messageRect.bottom, iconRect.bottom);
    }
    int rowWidth = 0;
    for (std::size_t i = 0; i < widths.size(); ++i)
        rowWidth += widths[i] + (i > 0 ? 6 : 0);
    const int rowTop = contentBottom + (icon || backgroundBrush ? 14 : 5);
    int boxWidth = std::max<int>(contentRight, rowWidth + 32);
    if (checkBoxSlot >= 0)
        boxWidth = std::max<int>(boxWidth, checkWidth + 16);
    const int checkTop = rowTop + buttonHeight + 12;
    const int boxHeight = checkBoxSlot >= 0 ? checkTop + checkHeight + 8 : rowTop + buttonHeight + 12;

    if (icon)
        addItem(WS_CHILD | WS_VISIBLE, iconRect.left, iconRect.top, iconRect.right - iconRect.left,
                iconRect.bottom - iconRect.top, iconControlId, staticClass, L"");
    addItem(WS_CHILD | WS_VISIBLE | SS_NOPREFIX, messageRect.left, messageRect.top,
            messageRect.right - messageRect.left, messageRect.bottom - messageRect.top, WORD(messageId), staticClass,
            message);

    // 0x100 to 0x500 name the second to the sixth button; anything else, or a
    // button that does not exist, the first.
    int defaultIndex = int((type & 0x0F00) >> 8);
    if (defaultIndex > 5 || defaultIndex >= int(buttons.size()))
        defaultIndex = 0;
    int left = options & XMSGBOX_OPTIONS_RIGHT_JUSTIFY_BUTTONS ? boxWidth - 16 - rowWidth : (boxWidth - rowWidth) / 2;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const bool isDefault = int(i) == defaultIndex;
        if (isDefault) {
            defaultButtonId = buttons[i].id;
            copyLimited(defaultButtonCaption, captionLength, buttons[i].caption.c_str());
        }
        addItem(WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), left, rowTop,
                widths[i], buttonHeight, WORD(buttons[i].id), buttonClass, buttons[i].caption.c_str());
        left += widths[i] + 6;
    }
    if (checkBoxSlot >= 0)
        addItem(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 17, checkTop, checkWidth, checkHeight,
                XMSGBOX_IDCHECKBOX, buttonClass, captions[checkBoxSlot]);

    dialogStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME;
    if (type & MB_SYSTEMMODAL)
        dialogStyle |= DS_SYSMODAL;
    dialogWidth = short(boxWidth * 4 / baseX);
    dialogHeight = short(boxHeight * 8 / baseY);
}

int CXDialogTemplate::display()
{
    if (wcslen(title) > 1023)
        title[1023] = 0;

    // Header, menu, class and title, then each item on a 4-byte boundary.
    std::size_t size = sizeof(DLGTEMPLATE) + 2 * sizeof(WORD) + (wcslen(title) + 1) * sizeof(WCHAR);
    for (int i = 0; i < itemCount; ++i) {
        size = (size + 3) & ~std::size_t(3);
        size += sizeof(DLGITEMTEMPLATE) + 2 * sizeof(WORD) + (wcslen(items[i]->caption) + 1) * sizeof(WCHAR)
            + sizeof(WORD);
    }
    size += 4;
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size);
    if (!block)
        return IDCANCEL;
    BYTE* memory = static_cast<BYTE*>(LocalLock(block));
    if (!memory) {
        LocalFree(block);
        return IDCANCEL;
    }

    auto* header = reinterpret_cast<DLGTEMPLATE*>(memory);
    header->style = dialogStyle;
    header->dwExtendedStyle = dialogExtendedStyle;
    header->cdit = WORD(itemCount);
    header->x = dialogX;
    header->y = dialogY;
    header->cx = dialogWidth;
    header->cy = dialogHeight;
    BYTE* position = memory + sizeof(DLGTEMPLATE);
    auto putWord = [&](WORD value) {
        memcpy(position, &value, sizeof value);
        position += sizeof value;
    };
    auto putText = [&](const wchar_t* text) {
        const std::size_t bytes = (wcslen(text) + 1) * sizeof(WCHAR);
        memcpy(position, text, bytes);
        position += bytes;
    };
    putWord(0); // no menu
    putWord(0); // the default dialog class
    putText(title);
    for (int i = 0; i < itemCount; ++i) {
        position = memory + ((position - memory + 3) & ~std::ptrdiff_t(3));
        DLGITEMTEMPLATE item{};
        item.style = items[i]->style;
        item.dwExtendedStyle = items[i]->extendedStyle;
        item.x = items[i]->x;
        item.y = items[i]->y;
        item.cx = items[i]->width;
        item.cy = items[i]->height;
        item.id = items[i]->id;
        memcpy(position, &item, sizeof item);
        position += sizeof item;
        putWord(0xFFFF);
        putWord(items[i]->classAtom);
        putText(items[i]->caption);
        putWord(0); // no creation data
    }

    HWND dialog
        = CreateDialogIndirectParamW(exeModule(), header, owner, xMessageBoxDlgProc, reinterpret_cast<LPARAM>(this));
    if (dialog) {
        if (owner)
            EnableWindow(owner, FALSE);
        MSG msg;
        for (;;) {
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    PostQuitMessage(int(msg.wParam));
                    break;
                }
                if (msg.message == WM_KEYDOWN && copyMessageToClipboard(dialog, msg.wParam)) {
                } else if (!IsDialogMessageW(dialog, &msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
                if (done)
                    break;
            } else if (done) {
                break;
            } else {
                WaitMessage();
            }
        }
        if (owner && IsWindow(owner))
            EnableWindow(owner, TRUE);
        DestroyWindow(dialog);
    }
    LocalUnlock(block);
    LocalFree(block);
    return result;
}

bool CXDialogTemplate::copyMessageToClipboard(HWND dialog, WPARAM key)
{
    if (key != 'C' || GetKeyState(VK_CONTROL) >= 0)
        return false;
    const std::wstring separator = L"---------------------------\r\n";
    std::wstring text = separator + title + L"\r\n" + separator + message + L"\r\n" + separator;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, L"Button") != 0)
            continue;
        wchar_t caption[captionLength * 2] = {};
        GetWindowTextW(child, caption, captionLength * 2);
        for (const wchar_t* c = caption; *c; ++c) {
            if (*c != L'&')
                text += *c;
        }
        text += L"   ";
    }
    text += L"\r\n" + separator;

    if (OpenClipboard(dialog)) {
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        if (memory) {
            memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory))
                GlobalFree(memory);
        }
        CloseClipboard();
    }
    return true;
}

void CXDialogTemplate::endDialog(HWND, int value)
{
    result = value;
    done = true;
}

void CXDialogTemplate::stopCountdown(HWND dialog)
{
    if (timeoutSeconds <= 0)
        return;
    KillTimer(dialog, countdownTimer);
    timeoutSeconds = 0;
    SetDlgItemTextW(dialog, defaultButtonId, defaultButtonCaption);
}

void CXDialogTemplate::saveAnswer(int value) const
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, savedAnswerKeyPath(companyName.c_str()).c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return;
    const std::wstring name = savedAnswerValueName(module.c_str(), line);
    const DWORD data = DWORD(value);
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    RegCloseKey(key);
}

void CXDialogTemplate::onInitDialog(HWND dialog)
{
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (font) {
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    }
    HMENU systemMenu = GetSystemMenu(dialog, FALSE);
    if (disabledSeconds > 0) {
        for (int id = 1; id <= 26; ++id) {
            HWND button = GetDlgItem(dialog, id);
            wchar_t className[16] = {};
            if (button && GetClassNameW(button, className, 16) && lstrcmpiW(className, L"Button") == 0)
                EnableWindow(button, FALSE);
        }
        EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    }
    CheckDlgButton(dialog, XMSGBOX_IDCHECKBOX, BST_UNCHECKED);
    if (HWND button = GetDlgItem(dialog, defaultButtonId)) {
        SendMessageW(dialog, DM_SETDEFID, defaultButtonId, 0);
        SetFocus(button);
    }
    if (!escapeAllowed())
        EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    if (HWND iconControl = GetDlgItem(dialog, iconControlId)) {
        SetWindowLongPtrW(iconControl, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(icon));
        iconProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(iconControl, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(iconControlProc)));
        SetPropW(iconControl, L"XMessageBoxIconProc", reinterpret_cast<HANDLE>(iconProc));
    }
    if (type & MB_TOPMOST)
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (type & MB_SETFOREGROUND)
        SetForegroundWindow(dialog);
    if (x != 0 || y != 0) {
        SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    } else if (owner) {
        RECT ownerRect;
        RECT dialogRect;
        GetWindowRect(owner, &ownerRect);
        GetWindowRect(dialog, &dialogRect);
        const int width = dialogRect.right - dialogRect.left;
        const int height = dialogRect.bottom - dialogRect.top;
        SetWindowPos(dialog, nullptr, ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2,
                     ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    if (timeoutSeconds > 0)
        SetTimer(dialog, countdownTimer, 1000, nullptr);
    if (disabledSeconds > 0)
        SetTimer(dialog, disabledTimer, 1000, nullptr);
    SetForegroundWindow(dialog);
}

INT_PTR CALLBACK xMessageBoxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        reinterpret_cast<CXDialogTemplate*>(lParam)->onInitDialog(dialog);
        return FALSE; // the focus is set
    }
    auto* box = reinterpret_cast<CXDialogTemplate*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!box)
        return FALSE;

    switch (message) {
    case WM_ERASEBKGND:
        if (box->backgroundBrush) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            RECT client;
            GetClientRect(dialog, &client);
            FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
            RECT upper = client;
            if (HWND text = GetDlgItem(dialog, box->messageId)) {
                RECT textRect;
                GetWindowRect(text, &textRect);
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&textRect), 2);
                upper.bottom = textRect.bottom;
            }
            FillRect(dc, &upper, box->backgroundBrush);
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const HWND control = reinterpret_cast<HWND>(lParam);
        const int id = GetDlgCtrlID(control);
        if (id == XMSGBOX_IDCHECKBOX || !box->backgroundBrush)
            break;
        SetBkColor(dc, box->backgroundColor != 0xFFFFFFFF ? box->backgroundColor : GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, box->textColor != 0xFFFFFFFF ? box->textColor : GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<INT_PTR>(box->backgroundBrush);
    }
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
        box->stopCountdown(dialog);
        break;
    case WM_TIMER:
        if (wParam == countdownTimer) {
            if (box->timeoutSeconds > 0) {
                wchar_t text[CXDialogTemplate::captionLength + 32];
                std::swprintf(text, sizeof text / sizeof *text, L"%ls = %d", box->defaultButtonCaption,
                              box->timeoutSeconds);
                SetDlgItemTextW(dialog, box->defaultButtonId, text);
                --box->timeoutSeconds;
            } else {
                KillTimer(dialog, countdownTimer);
                PostMessageW(dialog, WM_COMMAND, WPARAM(unsigned(box->defaultButtonId) | 0x80000000u), 0);
            }
        } else if (wParam == disabledTimer) {
            if (box->disabledSeconds > 0) {
                wchar_t text[1100];
                std::swprintf(text, 1100, L"%ls %d", box->title, box->disabledSeconds);
                SetWindowTextW(dialog, text);
                --box->disabledSeconds;
            } else {
                KillTimer(dialog, disabledTimer);
                for (int id = 1; id <= 26; ++id) {
                    if (HWND button = GetDlgItem(dialog, id))
                        EnableWindow(button, TRUE);
                }
                if (box->escapeAllowed())
                    EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
                SetWindowTextW(dialog, box->title);
                RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            }
        }
        return TRUE;
    case WM_COMMAND: {
        if (wParam & 0x80000000u) {
            box->endDialog(dialog, int(unsigned(wParam)));
            return TRUE;
        }
        box->stopCountdown(dialog);
        const int id = LOWORD(wParam);
        if (id == IDCANCEL) {
            // The Cancel button, Esc or the close box: a plain answer that is
            // never remembered, or a "Don't ask me again" would cancel every
            // later box from that place unseen.
            if ((box->type & 0x0F) == MB_OK && box->customButtonsText.empty())
                box->endDialog(dialog, IDOK);
            else if (box->escapeAllowed())
                box->endDialog(dialog, IDCANCEL);
            return TRUE;
        }
        if (id == XMSGBOX_IDHELP) {
            wchar_t helpFile[MAX_PATH * 4] = {};
            GetModuleFileNameW(nullptr, helpFile, MAX_PATH * 4);
            if (wchar_t* dot = wcsrchr(helpFile, L'.'))
                lstrcpyW(dot, L".hlp");
            if (box->helpId != 0)
                WinHelpW(dialog, helpFile, HELP_CONTEXT, box->helpId);
            else
                WinHelpW(dialog, helpFile, HELP_FINDER, 0);
            return TRUE;
        }
        if (id == XMSGBOX_IDREPORT) {
            if (box->reportCallback)
                box->reportCallback(box->message, box->reportData);
            return TRUE;
        }
        if (id == XMSGBOX_IDCHECKBOX || id == IDCLOSE)
            return TRUE;
        int value = id;
        if (box->checkBoxBit && IsDlgButtonChecked(dialog, XMSGBOX_IDCHECKBOX) == BST_CHECKED) {
            value |= box->checkBoxBit;
            if (!box->module.empty())
                box->saveAnswer(value);
        }
        box->endDialog(dialog, value);
        return TRUE;
    }
    default:
        break;
    }
    return FALSE;
}
