#include "ReportMail.h"

#include "StringHelpers.h"
#include "CodePage.h"
#include "SimpleMapiW.h"

#include <windows.h>

#include <mapi.h>
#include <shellapi.h>

namespace {

// MAPI_DIALOG | MAPI_DIALOG_MODELESS: the compose window stays open on its own.
constexpr FLAGS dialogModeless = 0x0C;

// Modifiable copies of the mail's texts, in the encoding of the send function.
template <typename Text>
struct MailTexts
{
    Text subject;
    Text body;
    Text address;
    Text attachment;
};

// One message with at most one recipient and one file, pointing into texts.
template <typename Message, typename Recipient, typename File>
struct MailRecords
{
    template <typename Text>
    explicit MailRecords(MailTexts<Text>& texts)
    {
        recipient.ulRecipClass = MAPI_TO;
        recipient.lpszAddress = texts.address.data();
        file.lpszPathName = texts.attachment.data();
        message.lpszSubject = texts.subject.empty() ? nullptr : texts.subject.data();
        message.lpszNoteText = texts.body.empty() ? nullptr : texts.body.data();
        message.nRecipCount = texts.address.empty() ? 0 : 1;
        message.lpRecips = texts.address.empty() ? nullptr : &recipient;
        message.nFileCount = texts.attachment.empty() ? 0 : 1;
        message.lpFiles = texts.attachment.empty() ? nullptr : &file;
    }

    Message message{};
    Recipient recipient{};
    File file{};
};

} // namespace

std::wstring defaultMailClientOutlookPath()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    const LONG status = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return {};

    std::wstring path = value;
    const std::wstring::size_type found = findNoCase(path, L"outlook.exe");
    if (found == std::wstring::npos)
        return {};
    path = path.substr(0, found + 11);
    if (!path.empty() && path[0] == L'"')
        path.erase(0, 1);
    if (path.find(L'~') != std::wstring::npos) {
        wchar_t longPath[1024] = {};
        const DWORD length = GetLongPathNameW(path.c_str(), longPath, 1024);
        if (length > 0 && length < 1024)
            path = longPath;
    }
    return path;
}

bool startOutlook(const std::wstring& outlookPath, const std::wstring& attachment, const std::wstring& address,
                  const std::wstring& subject, const std::wstring& body)
{
    std::wstring line = outlookCommandLine(outlookPath, attachment, address, subject, body);
    if (line.empty())
        return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool sendMailMapi(std::uintptr_t owner, const std::wstring& subject, const std::wstring& body,
                  const std::wstring& address, const std::wstring& attachment)
{
    HMODULE mapi = LoadLibraryW(L"MAPI32.DLL");
    if (!mapi)
        return false;
    ULONG status = MAPI_E_FAILURE;
    auto sendWide = reinterpret_cast<MapiSendMailW>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPISendMailW")));
    auto sendNarrow = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPISendMail")));
    if (sendWide) {
        MailTexts<std::wstring> texts{subject, body, address, attachment};
        MailRecords<MapiMessageW, MapiRecipientW, MapiFileW> records(texts);
        status = sendWide(0, ULONG_PTR(owner), &records.message, dialogModeless, 0);
    } else if (sendNarrow) {
        MailTexts<std::string> texts{wideToAnsi(subject), wideToAnsi(body), wideToAnsi(address),
                                     wideToAnsi(attachment)};
        MailRecords<MapiMessage, MapiRecipDesc, MapiFileDesc> records(texts);
        status = sendNarrow(0, ULONG_PTR(owner), &records.message, MAPI_DIALOG | MAPI_LOGON_UI, 0);
    }
    FreeLibrary(mapi);
    return status == SUCCESS_SUCCESS;
}

bool sendMailTo(std::uintptr_t owner, const std::wstring& subject, const std::wstring& body,
                const std::wstring& address)
{
    const std::wstring link = mailtoLink(address, subject, body);
    const HINSTANCE result
        = ShellExecuteW(reinterpret_cast<HWND>(owner), L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
