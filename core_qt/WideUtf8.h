#pragma once

#include <string>
#include <string_view>

// Conversions between the byte strings of Linux file names and the wide strings
// of the platform layer (a wchar_t holds one code point there). A byte that is not
// valid UTF-8 becomes U+DC00 + byte and converts back to itself, so any file
// name survives the round trip.
std::wstring utf8ToWide(std::string_view bytes);
std::string wideToUtf8(std::wstring_view text);
