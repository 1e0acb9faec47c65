#pragma once

#include <string>
#include <string_view>

// Conversions between UTF-8 byte strings and the wide strings of the platform
// layer.
// Linux: a wchar_t holds one code point, and a byte that is not valid UTF-8
// becomes U+DC00 + byte and converts back to itself, so any file name survives
// the round trip.
// Windows: a wchar_t is a UTF-16 code unit; invalid input in either direction
// becomes U+FFFD, as the system's own conversion does.
std::wstring utf8ToWide(std::string_view bytes);
std::string wideToUtf8(std::wstring_view text);
