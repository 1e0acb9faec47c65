#include "StringHelpers.h"

#include "LowerCaseTable.h"

#include <cwctype>

namespace {

std::wstring loweredCopy(const std::wstring& text)
{
    std::wstring lowered(text);
    for (wchar_t& c : lowered)
        c = lowerCaseChar(c);
    return lowered;
}

} // namespace

std::wstring::size_type findNoCase(const std::wstring& text, const std::wstring& sought, std::wstring::size_type start)
{
    return loweredCopy(text).find(loweredCopy(sought), start);
}

int replaceAll(std::wstring& target, const std::wstring& from, const std::wstring& to, bool ignoreCase)
{
    if (from.empty())
        return 0;
    int count = 0;
    std::wstring::size_type position = 0;
    for (;;) {
        position = ignoreCase ? findNoCase(target, from, position) : target.find(from, position);
        if (position == std::wstring::npos)
            return count;
        target.replace(position, from.size(), to);
        position += to.size();
        ++count;
    }
}

int replaceAllCStr(std::wstring& target, const wchar_t* from, const wchar_t* to, bool ignoreCase)
{
    return replaceAll(target, from ? from : L"", to ? to : L"", ignoreCase);
}

void trimWhitespace(std::wstring& text)
{
    std::wstring::size_type begin = 0;
    while (begin < text.size() && std::iswspace(static_cast<wint_t>(text[begin])))
        ++begin;
    std::wstring::size_type end = text.size();
    while (end > begin && std::iswspace(static_cast<wint_t>(text[end - 1])))
        --end;
    text = text.substr(begin, end - begin);
}
