#pragma once

#include <string>

// Small wide-string helpers shared by the Win32 layer and the portable code.
// On Windows a wchar_t is a UTF-16 code unit, on Linux a whole code point.

// Replaces every occurrence of `from` by `to`; the inserted text is never searched
// again. Returns the number of replacements; an empty `from` changes nothing.
int replaceAll(std::wstring& target, const std::wstring& from, const std::wstring& to, bool ignoreCase);
// The same with C strings (a null pointer counts as an empty text).
int replaceAllCStr(std::wstring& target, const wchar_t* from, const wchar_t* to, bool ignoreCase);

// Position of the first case-insensitive match of `sought` at or after `start`,
// or std::wstring::npos.
std::wstring::size_type findNoCase(const std::wstring& text, const std::wstring& sought,
                                   std::wstring::size_type start = 0);

// Removes leading and trailing white space in place.
void trimWhitespace(std::wstring& text);

// Orders version strings token by token: -1 when `a` is older than `b`, 0 when
// they are equal, 1 when `a` is newer. Trailing separators (white space,
// punctuation) count for nothing; memory use does not grow with the length.
int compareVersions(const std::string& a, const std::string& b);
// The numbers and words of a version as compareVersions reads them: 3.0.12rc has four.
std::size_t versionPartCount(const std::string& version);
