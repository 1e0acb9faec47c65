#include "Registry.h"

#include <new>
#include <vector>

bool regQueryString(HKEY key, const wchar_t* valueName, std::wstring& out)
{
    try {
        std::vector<BYTE> data(2048, 0);
        DWORD type = REG_NONE;
        DWORD size = DWORD(data.size());
        LONG status = RegQueryValueExW(key, valueName, nullptr, &type, data.data(), &size);
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return false;
        if (status == ERROR_MORE_DATA) {
            // Two spare zero bytes keep the text terminated whatever the data holds.
            data.assign(std::size_t(size) + sizeof(wchar_t), 0);
            status = RegQueryValueExW(key, valueName, nullptr, &type, data.data(), &size);
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return false;
        if (size <= sizeof(wchar_t)) {
            // Empty, or only a terminator.
            out.clear();
            return true;
        }
        wchar_t* text = reinterpret_cast<wchar_t*>(data.data());
        // Data written without a terminator loses its last character here.
        text[size / sizeof(wchar_t) - 1] = L'\0';
        out = text;
        if (type == REG_EXPAND_SZ) {
            std::vector<wchar_t> expanded(size, L'\0');
            DWORD needed = ExpandEnvironmentStringsW(text, expanded.data(), DWORD(expanded.size()));
            if (needed > expanded.size()) {
                expanded.assign(needed, L'\0');
                needed = ExpandEnvironmentStringsW(text, expanded.data(), DWORD(expanded.size()));
            }
            if (needed > 0 && needed <= expanded.size() && expanded[0] != L'\0')
                out = expanded.data();
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
