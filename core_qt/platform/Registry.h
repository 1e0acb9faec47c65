#pragma once

#include <windows.h>

#include <string>

// Reads a REG_SZ or REG_EXPAND_SZ value (the latter expanded). False for a
// missing value, another type or a failed read, with `out` unchanged; an empty
// value gives an empty `out`.
bool regQueryString(HKEY key, const wchar_t* valueName, std::wstring& out);
