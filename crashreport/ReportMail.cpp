#include "ReportMail.h"

#include "WideUtf8.h"

void sendMail(std::uintptr_t owner, const std::wstring& subject, const std::wstring& body, const std::wstring& address,
              const std::wstring& attachment)
{
    if (attachment.empty()) {
        if (!sendMailTo(owner, subject, body, address))
            sendMailTo(owner, subject, body, address);
        return;
    }
    // A failed Outlook start goes straight to the link: Outlook owns mailto:
    // there, and the system's mail service would only be a second guess.
    const std::wstring outlook = defaultMailClientOutlookPath();
    const bool sent = outlook.empty() ? sendMailMapi(owner, subject, body, address, attachment)
                                      : startOutlook(outlook, attachment, address, subject, body);
    if (!sent)
        sendMailTo(owner, subject, body, address);
}

namespace {

// Everything but the unreserved characters is encoded; the address keeps its "@".
std::wstring percentEncoded(const std::wstring& text, bool isAddress)
{
    static const char hex[] = "0123456789ABCDEF";
    std::wstring encoded;
    for (const char byte : wideToUtf8(text)) {
        const unsigned char c = static_cast<unsigned char>(byte);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_' || c == '~' || (isAddress && c == '@');
        if (plain) {
            encoded += wchar_t(c);
        } else {
            encoded += L'%';
            encoded += wchar_t(hex[c >> 4]);
            encoded += wchar_t(hex[c & 0x0F]);
        }
    }
    return encoded;
}

} // namespace

std::wstring mailtoLink(const std::wstring& address, const std::wstring& subject, const std::wstring& body)
{
    // A line feed becomes CR LF, as mail wants it.
    std::wstring crlfBody;
    for (const wchar_t c : body) {
        if (c == L'\n')
            crlfBody += L"\r\n";
        else
            crlfBody += c;
    }
    return L"mailto:" + percentEncoded(address, true) + L"?subject=" + percentEncoded(subject, false) + L"&body="
        + percentEncoded(crlfBody, false);
}

std::wstring outlookCommandLine(const std::wstring& outlookPath, const std::wstring& attachment,
                                const std::wstring& address, const std::wstring& subject, const std::wstring& body)
{
    const std::wstring line = L"\"" + outlookPath + L"\" /a \"" + attachment + L"\" /m \"" + address + L"&subject="
        + subject + L"&body=" + body + L"\"";
    return line.size() < 2048 ? line : std::wstring();
}
