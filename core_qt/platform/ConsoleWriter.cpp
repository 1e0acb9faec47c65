#include "ConsoleWriter.h"

namespace ConsoleWriter {

std::wstring toCrLf(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue; // the "\n" that follows writes the pair
        if (text[i] == L'\n')
            result += L"\r\n";
        else
            result += text[i];
    }
    return result;
}

} // namespace ConsoleWriter
