#include "CodePage.h"

#include <windows.h>

#include <new>
#include <vector>

bool wideToMultiByte(const wchar_t* source, std::string& out, unsigned codePage)
{
    if (!source)
        return false;
    const int size = WideCharToMultiByte(codePage, 0, source, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    try {
        std::vector<char> buffer(std::size_t(size), '\0');
        if (WideCharToMultiByte(codePage, 0, source, -1, buffer.data(), size, nullptr, nullptr) <= 0)
            return false;
        out.assign(buffer.data());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::string wideToAnsi(const std::wstring& text)
{
    std::string out;
    wideToMultiByte(text.c_str(), out, CP_ACP);
    return out;
}
