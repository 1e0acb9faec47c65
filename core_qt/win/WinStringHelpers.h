#pragma once

#include <windows.h>

#include <string>

// Converts a null-terminated wide string to the code page; false (and `out`
// unchanged) when the system cannot convert it.
bool wideToMultiByte(const wchar_t *source, std::string &out, UINT codePage);

// The text in the ANSI code page; empty on failure.
std::string wideToAnsi(const std::wstring &text);

// Reads a REG_SZ or REG_EXPAND_SZ value (the latter expanded). False for a
// missing value, another type or a failed read, with `out` unchanged; an empty
// value gives an empty `out`.
bool regQueryString(HKEY key, const wchar_t *valueName, std::wstring &out);
