#include "DarkModeVersion.h"

#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <limits>

namespace {

// Reads a number as the C runtime's _wtoi64 does: leading blanks, a sign,
// then digits up to the first other character; saturates on overflow.
int64_t toInt64(const std::wstring& token)
{
    size_t i = 0;
    while (i < token.size() && std::iswspace(token[i]))
        ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == L'+' || token[i] == L'-'))
        negative = token[i++] == L'-';
    uint64_t value = 0;
    const uint64_t limit
        = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1 : uint64_t(std::numeric_limits<int64_t>::max());
    for (; i < token.size() && token[i] >= L'0' && token[i] <= L'9'; ++i) {
        const unsigned digit = unsigned(token[i] - L'0');
        if (value > (limit - digit) / 10) {
            value = limit;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? int64_t(0 - value) : int64_t(value);
}

} // namespace

void splitToInts(const std::wstring& text, const wchar_t* delimiters, std::vector<int>& out)
{
    std::wstring token;
    for (const wchar_t c : text) {
        if (delimiters && std::wcschr(delimiters, c) && c != L'\0') {
            out.push_back(int(toInt64(token)));
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty())
        out.push_back(int(toInt64(token)));
}

bool darkModeSupportedVersion(const std::wstring& productVersion, int* build)
{
    std::vector<int> numbers;
    splitToInts(productVersion, L".", numbers);
    if (build)
        *build = 0;
    if (numbers.size() != 4)
        return false;
    if (build)
        *build = numbers[2];
    const int major = numbers[0];
    const int minor = numbers[1];
    return major > 10 || (major == 10 && (minor > 0 || numbers[2] > 17762));
}
