#include "FileVersionInfo.h"

#include "ProductIdentity.h"
#include "WideUtf8.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

// Linux executables carry no version resource: the program's own numbers are
// compiled in from the product identity.
const std::wstring ownVersion = utf8ToWide(QUORBILAN_FILE_VERSION_TEXT);

std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool isOwnExecutable(const wchar_t* path)
{
    const std::string file = canonical(wideToUtf8(path));
    return !file.empty() && file == canonical("/proc/self/exe");
}

} // namespace

bool fileExists(const wchar_t* path)
{
    if (!path || !*path)
        return false;
    struct stat status
    {
    };
    return stat(wideToUtf8(path).c_str(), &status) == 0;
}

bool readFileVersionInfo(const wchar_t* path, FileVersionInfo& info)
{
    if (!fileExists(path) || !isOwnExecutable(path))
        return false;
    info.empty = false;
    info.setFileVersion(ownVersion);
    return true;
}

std::wstring fileProductVersion(const wchar_t* path)
{
    return fileExists(path) && isOwnExecutable(path) ? ownVersion : std::wstring();
}
