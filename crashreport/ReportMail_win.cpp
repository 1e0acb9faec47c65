#include "ReportMail.h"

#include "StringHelpers.h"
#include "CodePage.h"

#include <windows.h>

#include <mapi.h>
#include <shellapi.h>

namespace {

// The wide Simple MAPI records (the toolchain's header has only the narrow ones).
struct MapiRecipientW
{
    ULONG reserved;
    ULONG recipientClass;
    wchar_t *name;
    wchar_t *address;
    ULONG entryIdSize;
    void *entryId;
};

struct MapiFileW
{
    ULONG reserved;
    ULONG flags;
    ULONG position;
    wchar_t *pathName;
    wchar_t *fileName;
    void *fileType;
};

struct MapiMessageW
{
    ULONG reserved;
    wchar_t *subject;
    wchar_t *noteText;
    wchar_t *messageType;
    wchar_t *dateReceived;
    wchar_t *conversationId;
    FLAGS flags;
    MapiRecipientW *originator;
    ULONG recipientCount;
    MapiRecipientW *recipients;
    ULONG fileCount;
    MapiFileW *files;
};

using MapiSendMailW = ULONG(WINAPI *)(LHANDLE, ULONG_PTR, MapiMessageW *, FLAGS, ULONG);

// MAPI_DIALOG | MAPI_DIALOG_MODELESS: the compose window stays open on its own.
constexpr FLAGS dialogModeless = 0x0C;

} // namespace

std::wstring defaultMailClientOutlookPath()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return {};
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    const LONG status =
        RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size);
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

bool startOutlook(const std::wstring &outlookPath, const std::wstring &attachment,
                  const std::wstring &address, const std::wstring &subject,
                  const std::wstring &body)
{
    std::wstring line = outlookCommandLine(outlookPath, attachment, address, subject, body);
    if (line.empty())
        return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool sendMailMapi(std::uintptr_t owner, const std::wstring &subject, const std::wstring &body,
                  const std::wstring &address, const std::wstring &attachment)
{
    HMODULE mapi = LoadLibraryW(L"MAPI32.DLL");
    if (!mapi)
        return false;
    ULONG status = MAPI_E_FAILURE;
    auto sendWide = reinterpret_cast<MapiSendMailW>(
        reinterpret_cast<void *>(GetProcAddress(mapi, "MAPISendMailW")));
    auto sendNarrow = reinterpret_cast<LPMAPISENDMAIL>(
        reinterpret_cast<void *>(GetProcAddress(mapi, "MAPISendMail")));
    if (sendWide) {
        std::wstring subjectText = subject;
        std::wstring bodyText = body;
        std::wstring addressText = address;
        std::wstring attachmentText = attachment;
        MapiRecipientW recipient{};
        recipient.recipientClass = MAPI_TO;
        recipient.address = addressText.data();
        MapiFileW file{};
        file.pathName = attachmentText.data();
        MapiMessageW message{};
        message.subject = subject.empty() ? nullptr : subjectText.data();
        message.noteText = body.empty() ? nullptr : bodyText.data();
        message.recipientCount = address.empty() ? 0 : 1;
        message.recipients = address.empty() ? nullptr : &recipient;
        message.fileCount = attachment.empty() ? 0 : 1;
        message.files = attachment.empty() ? nullptr : &file;
        status = sendWide(0, ULONG_PTR(owner), &message, dialogModeless, 0);
    } else if (sendNarrow) {
        std::string subjectText = wideToAnsi(subject);
        std::string bodyText = wideToAnsi(body);
        std::string addressText = wideToAnsi(address);
        std::string attachmentText = wideToAnsi(attachment);
        MapiRecipDesc recipient{};
        recipient.ulRecipClass = MAPI_TO;
        recipient.lpszAddress = addressText.data();
        MapiFileDesc file{};
        file.nPosition = 0;
        file.lpszPathName = attachmentText.data();
        MapiMessage message{};
        message.lpszSubject = subject.empty() ? nullptr : subjectText.data();
        message.lpszNoteText = body.empty() ? nullptr : bodyText.data();
        message.nRecipCount = address.empty() ? 0 : 1;
        message.lpRecips = address.empty() ? nullptr : &recipient;
        message.nFileCount = attachment.empty() ? 0 : 1;
        message.lpFiles = attachment.empty() ? nullptr : &file;
        status = sendNarrow(0, ULONG_PTR(owner), &message, MAPI_DIALOG | MAPI_LOGON_UI, 0);
    }
    FreeLibrary(mapi);
    return status == SUCCESS_SUCCESS;
}

bool sendMailTo(std::uintptr_t owner, const std::wstring &subject, const std::wstring &body,
                const std::wstring &address)
{
    const std::wstring link = mailtoLink(address, subject, body);
    const HINSTANCE result = ShellExecuteW(reinterpret_cast<HWND>(owner), L"open", link.c_str(),
                                           nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
