#pragma once

#include <cstdint>
#include <string>

// Hands a mail to the user's mail program, who reviews and sends it. owner is a
// native window handle or 0; an empty text means the item is not given.

// With an attachment: the mail program's own compose route (Outlook's command
// line when Outlook handles mailto:, else the system's mail service), and a
// mailto: link when that fails; without one, the mailto: link, tried twice.
void sendMail(std::uintptr_t owner, const std::wstring& subject, const std::wstring& body, const std::wstring& address,
              const std::wstring& attachment);

// Outlook's executable when it is the registered mailto: handler, else empty.
std::wstring defaultMailClientOutlookPath();

// The system's mail service with the attachment; true when it took the mail.
bool sendMailMapi(std::uintptr_t owner, const std::wstring& subject, const std::wstring& body,
                  const std::wstring& address, const std::wstring& attachment);

// Opens a mailto: link; true when the system took it.
bool sendMailTo(std::uintptr_t owner, const std::wstring& subject, const std::wstring& body,
                const std::wstring& address);

// Starts Outlook with the mail; true when the process started.
bool startOutlook(const std::wstring& outlookPath, const std::wstring& attachment, const std::wstring& address,
                  const std::wstring& subject, const std::wstring& body);

// "mailto:<address>?subject=<subject>&body=<body>" with the three texts
// percent-encoded as UTF-8, line feeds of the body written as %0D%0A.
std::wstring mailtoLink(const std::wstring& address, const std::wstring& subject, const std::wstring& body);

// Outlook's command line for the mail, the texts inserted as they are; empty
// when it would not fit the 2048-character buffer Outlook is started with.
std::wstring outlookCommandLine(const std::wstring& outlookPath, const std::wstring& attachment,
                                const std::wstring& address, const std::wstring& subject, const std::wstring& body);
