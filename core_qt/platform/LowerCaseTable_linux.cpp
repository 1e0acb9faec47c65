#include "LowerCaseTable.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <vector>

const wchar_t* lowerCaseTable()
{
    static const std::vector<wchar_t> table = [] {
        // The case mapping of C.UTF-8, so the table does not depend on the
        // process's current locale (plain "C" maps ASCII only).
        locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        std::vector<wchar_t> lowered(0x10000);
        for (wint_t i = 0; i < 0x10000; ++i) {
            const wint_t mapped = utf8 ? towlower_l(i, utf8) : towlower(i);
            lowered[i] = mapped <= 0xFFFF ? wchar_t(mapped) : wchar_t(i);
        }
        if (utf8)
            freelocale(utf8);
        return lowered;
    }();
    return table.data();
}
