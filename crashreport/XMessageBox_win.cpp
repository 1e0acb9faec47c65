#include "XMessageBox.h"

#include "CXDialogTemplate.h"

#include <cwchar>

std::wstring savedAnswerKeyPath(const wchar_t* companyName)
{
    wchar_t exePath[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, exePath, MAX_PATH * 4);
    const wchar_t* exeName = wcsrchr(exePath, L'\\');
    std::wstring path = L"Software\\";
    if (companyName && companyName[0])
        path += std::wstring(companyName) + L"\\";
    return path + (exeName ? exeName + 1 : exePath) + L"\\XMessageBox";
}

std::wstring savedAnswerValueName(const wchar_t* module, int line)
{
    // A registry-safe spelling of the asking place; longer names are cut.
    static const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz98";
    std::wstring name;
    for (int i = 0; module && module[i] && i < 490; ++i)
        name += alphabet[(unsigned(i) * 5 + unsigned(module[i])) & 63];
    return name + std::to_wstring(line);
}

DWORD readSavedAnswer(const wchar_t* companyName, const wchar_t* module, int line)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, savedAnswerKeyPath(companyName).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD valueType = 0;
    const LONG status = RegQueryValueExW(key, savedAnswerValueName(module, line).c_str(), nullptr, &valueType,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && valueType == REG_DWORD && size == sizeof value ? value : 0;
}

int XMessageBox(HWND owner, const wchar_t* text, const wchar_t* title, UINT type, const XMessageBoxParams* params)
{
    if (!owner) {
        owner = GetActiveWindow();
        if (owner)
            owner = GetLastActivePopup(owner);
    }
    if ((type & 0x1010) == 0x1010)
        return MessageBoxW(owner, text, title, type);
    if (!title)
        title = L"Error";

    XMessageBoxParams settings;
    if (params)
        settings = *params;

    const UINT checkBoxBits = XMSGBOX_DONT_ASK_AGAIN | XMSGBOX_DONT_TELL_AGAIN | XMSGBOX_DONT_SHOW_AGAIN;
    if ((type & checkBoxBits) && settings.module && settings.module[0]) {
        const DWORD saved = readSavedAnswer(settings.companyName, settings.module, settings.line);
        if (saved & checkBoxBits)
            return int(saved);
    }
    if (settings.timeoutSeconds >= 1000)
        settings.timeoutSeconds = 10;
    if (settings.disabledSeconds >= 1000)
        settings.disabledSeconds = 10;

    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&version) && version.dwMajorVersion >= 6)
        settings.options |= XMSGBOX_OPTIONS_TWO_TONE;
#pragma GCC diagnostic pop

    auto* box = new CXDialogTemplate(owner, text, title, type, settings);
    if (!(type & XMSGBOX_NO_SOUND))
        MessageBeep(type & 0xF0);
    const int result = box->display();
    delete box;
    return result;
}
