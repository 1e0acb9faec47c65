#pragma once

#include <string>

// Conversions from the wide strings of the Win32 layer to a Windows code page.

// Converts a null-terminated wide string to the code page; false (and `out`
// unchanged) when the system cannot convert it.
bool wideToMultiByte(const wchar_t* source, std::string& out, unsigned codePage);

// The text in the ANSI code page; empty on failure.
std::string wideToAnsi(const std::wstring& text);
