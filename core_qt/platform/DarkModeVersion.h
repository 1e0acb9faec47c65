#pragma once

#include <string>
#include <vector>

// Splits the text at every character that is one of the delimiters; each part
// becomes a number, a part that is not one becomes 0 ("10..1" gives 10, 0, 1).
// An empty text gives nothing, a delimiter at the very end no trailing 0.
void splitToInts(const std::wstring& text, const wchar_t* delimiters, std::vector<int>& out);

// Whether a theme library of this product version ("10.0.17763.1") has the
// dark-mode entry points: 10.0.17763 and later. Only a four-number text
// counts; `build` gets its third number, otherwise 0.
bool darkModeSupportedVersion(const std::wstring& productVersion, int* build = nullptr);
