#include "FileVersionInfo.h"

#include "StringHelpers.h"

#include <algorithm>
#include <cwctype>
#include <limits>

namespace {

// Reads up to four numbers the way "%u<sep>%u<sep>%u<sep>%u" would: blanks may
// precede each number, the separator must follow it at once, and reading stops
// at the first mismatch. A run too long for 32 bits saturates instead of wrapping.
void readNumbers(const std::wstring& text, wchar_t separator, uint32_t* numbers[4])
{
    std::wstring::size_type i = 0;
    for (int n = 0; n < 4; ++n) {
        while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])))
            ++i;
        if (i >= text.size() || text[i] < L'0' || text[i] > L'9')
            return;
        uint64_t value = 0;
        for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
            value = std::min<uint64_t>(value * 10 + uint64_t(text[i] - L'0'), std::numeric_limits<uint32_t>::max());
        *numbers[n] = uint32_t(value);
        if (i >= text.size() || text[i] != separator)
            return;
        ++i;
    }
}

} // namespace

void FileVersionInfo::setFileVersion(const std::wstring& text)
{
    std::wstring trimmed(text);
    trimWhitespace(trimmed);
    if (trimmed.empty())
        return;
    fileVersion = trimmed;
    uint32_t* numbers[4] = {&m_major, &m_minor, &m_build, &m_revision};
    if (fileVersion.find(L',') != std::wstring::npos) {
        readNumbers(fileVersion, L',', numbers);
        replaceAllCStr(fileVersion, L", ", L".", false);
    } else if (fileVersion.find(L'.') != std::wstring::npos) {
        readNumbers(fileVersion, L'.', numbers);
    }
}
