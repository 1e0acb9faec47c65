#include "SingleInstancePlace.h"

#include <QDir>
#include <QLocalSocket>

#include <vector>
#include <windows.h>
#include <sddl.h>

namespace {

// The user a process runs as, from its token; empty when it cannot be read.
std::vector<BYTE> tokenUserOf(HANDLE process)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    const bool read = size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    ::CloseHandle(token);
    return read ? buffer : std::vector<BYTE>();
}

PSID sidOf(std::vector<BYTE>& tokenUser)
{
    return reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}

} // namespace

SingleInstancePlace singleInstancePlace(const QString& name)
{
    // A local server is the named pipe \\.\pipe\<name>, and the pipe names are
    // one namespace for the whole machine, every session and user alike: the
    // user's SID in the name keeps other users' instances apart. The temp
    // folder is the user's own.
    std::vector<BYTE> user = tokenUserOf(::GetCurrentProcess());
    if (user.empty())
        return {};
    wchar_t* sid = nullptr;
    if (!::ConvertSidToStringSidW(sidOf(user), &sid))
        return {};
    const QString server = name + QLatin1Char('-') + QString::fromWCharArray(sid);
    ::LocalFree(sid);
    return {server, QDir(QDir::tempPath()).filePath(name + QStringLiteral(".lock"))};
}

bool servedBySameUser(const QLocalSocket& socket)
{
    // Anyone may create a pipe of any name, ours included: the process that
    // serves it must run as this user.
    const auto pipe = reinterpret_cast<HANDLE>(socket.socketDescriptor());
    ULONG serverId = 0;
    if (!::GetNamedPipeServerProcessId(pipe, &serverId))
        return false;
    const HANDLE server = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId);
    if (!server)
        return false;
    std::vector<BYTE> serverUser = tokenUserOf(server);
    ::CloseHandle(server);
    std::vector<BYTE> ownUser = tokenUserOf(::GetCurrentProcess());
    return !serverUser.empty() && !ownUser.empty() && ::EqualSid(sidOf(serverUser), sidOf(ownUser));
}
