#include "ReportMail.h"
#include "WideUtf8.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Runs a program found through PATH and waits for it; true when it exited with 0.
bool runProgram(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

// There is no Outlook on Linux: its route is never taken.
std::wstring defaultMailClientOutlookPath()
{
    return {};
}

bool startOutlook(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
                  const std::wstring&)
{
    return false;
}

// The desktop's compose service: xdg-email hands subject, body and attachment
// to the user's mail program.
bool sendMailMapi(std::uintptr_t, const std::wstring& subject, const std::wstring& body, const std::wstring& address,
                  const std::wstring& attachment)
{
    std::vector<std::string> arguments = {"xdg-email"};
    if (!subject.empty())
        arguments.insert(arguments.end(), {"--subject", wideToUtf8(subject)});
    if (!body.empty())
        arguments.insert(arguments.end(), {"--body", wideToUtf8(body)});
    if (!attachment.empty())
        arguments.insert(arguments.end(), {"--attach", wideToUtf8(attachment)});
    if (!address.empty())
        arguments.push_back(wideToUtf8(address));
    return runProgram(arguments);
}

bool sendMailTo(std::uintptr_t, const std::wstring& subject, const std::wstring& body, const std::wstring& address)
{
    return runProgram({"xdg-open", wideToUtf8(mailtoLink(address, subject, body))});
}
