#include "FileVersionInfo.h"

#include "StringHelpers.h"

#include <windows.h>

#include <cstdio>
#include <utility>
#include <vector>

namespace {

struct Translation
{
    WORD language;
    WORD codePage;
};

// The whole version resource of a file; empty when it has none.
std::vector<BYTE> versionResource(const wchar_t* path)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0)
        return {};
    std::vector<BYTE> block(size, 0);
    // A failed read leaves a zeroed block without a translation table.
    GetFileVersionInfoW(path, 0, size, block.data());
    return block;
}

bool firstTranslation(std::vector<BYTE>& block, Translation& translation)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < sizeof(Translation)
        || !value)
        return false;
    translation = *static_cast<const Translation*>(value);
    return true;
}

bool queryString(std::vector<BYTE>& block, const Translation& translation, const wchar_t* name, std::wstring& text)
{
    wchar_t subBlock[256];
    std::swprintf(subBlock, 256, L"\\StringFileInfo\\%04x%04x\\%ls", translation.language, translation.codePage, name);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), subBlock, &value, &length) || !value)
        return false;
    // The length counts characters and may include the terminator.
    text.assign(static_cast<const wchar_t*>(value), length);
    text.resize(wcsnlen(text.c_str(), text.size()));
    return true;
}

} // namespace

bool fileExists(const wchar_t* path)
{
    if (!path || !*path)
        return false;
    std::wstring copy(path);
    replaceAllCStr(copy, L"/", L"\\", false);
    // Drive paths take the long-path form; one with ".." cannot, the system
    // would not resolve it there.
    if (copy.size() >= 3 && copy[1] == L':' && copy.find(L"\\..\\") == std::wstring::npos)
        copy.insert(0, L"\\\\?\\");
    return GetFileAttributesW(copy.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool readFileVersionInfo(const wchar_t* path, FileVersionInfo& info)
{
    if (!fileExists(path))
        return false;
    std::vector<BYTE> block = versionResource(path);
    Translation translation{};
    if (block.empty() || !firstTranslation(block, translation))
        return false;
    info.empty = false;

    const std::pair<const wchar_t*, std::wstring*> fields[] = {
        {L"FileDescription", &info.fileDescription},
        {L"CompanyName", &info.companyName},
    };
    std::wstring text;
    for (const auto& [name, field] : fields) {
        if (queryString(block, translation, name, text)) {
            trimWhitespace(text);
            if (!text.empty())
                *field = text;
        }
    }
    if (queryString(block, translation, L"FileVersion", text))
        info.setFileVersion(text);
    return true;
}

std::wstring fileProductVersion(const wchar_t* path)
{
    if (!path)
        return {};
    std::vector<BYTE> block = versionResource(path);
    Translation translation{};
    std::wstring text;
    if (block.empty() || !firstTranslation(block, translation)
        || !queryString(block, translation, L"ProductVersion", text))
        return {};
    return text;
}
