#include "LowerCaseTable.h"

#include <windows.h>

#include <vector>

const wchar_t* lowerCaseTable()
{
    // One pass through the system's mapping replaces a call per character later.
    static const std::vector<wchar_t> table = [] {
        std::vector<wchar_t> lowered(0x10000);
        for (unsigned i = 0; i < lowered.size(); ++i)
            lowered[i] = wchar_t(i);
        CharLowerBuffW(lowered.data(), DWORD(lowered.size()));
        return lowered;
    }();
    return table.data();
}
