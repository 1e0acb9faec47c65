#pragma once

#include <cstdint>
#include <type_traits>

// The lower-case form of every 16-bit code unit, 65536 entries, made once on
// first use by the platform's own case mapping and kept until exit.
const wchar_t* lowerCaseTable();

// One character through the table. A Linux wchar_t holds a whole code point:
// those above 0xFFFF stay as they are rather than reading past the table.
inline wchar_t lowerCaseChar(wchar_t c)
{
    const auto unit = uint32_t(static_cast<std::make_unsigned_t<wchar_t>>(c));
    return unit > 0xFFFF ? c : lowerCaseTable()[unit];
}
