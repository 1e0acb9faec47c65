#pragma once

// Worked results of compareVersions, shared by the native and the Windows tests.
struct CompareVersionsCase
{
    const char* a;
    const char* b;
    int result;
};

inline constexpr CompareVersionsCase compareVersionsCases[] = {
    {"3.0.1", "3.0.0", 1},
    {"3.0", "3.0.0", -1},
    {"1.10", "1.9", 1},
    {"2", "10", -1},
    {"1.01", "1.1", 0},
    {"1.0beta", "1.0", -1},
    {"1.0", "1.0beta", 1},
    {"1.0 beta", "1.0", 1},
    {"1.0", "1.0 beta", -1},
    {"1.0alpha", "1.0beta", -1},
    {"1.0 rc1", "1.0 beta2", 1},
    {"1.2a", "1.2.1", -1},
    // Trailing separators add nothing.
    {"1.2.", "1.2", 0},
    {"3.0.0 ", "3.0.0", 0},
    {"3.0.0\n", "3.0.0", 0},
    {"3.0.0\t\r\n", "3.0.0", 0},
    {"3.0.0-", "3.0.0", 0},
    {"3.0.0 .", "3.0", 1},
    {"3.0.1 ", "3.0.0", 1},
    {"3.0 ", "3.0.0", -1},
    {".", "", 0},
    {"ver1", "1", -1},
    {"", "1", -1},
    {"", "", 0},
    // Separators are equal whatever their characters.
    {"1.0-1", "1.0.1", 0},
    {"1.0.1", "1.0 1", 0},
    {"007", "7", 0},
    // Texts compare as bytes: a shorter prefix first, capitals before small letters.
    {"1.0b", "1.0ba", -1},
    {"1.0Beta", "1.0beta", -1},
    // Bytes of non-ASCII characters are text.
    {"1.0\xc3\xa9", "1.0", -1},
    // Digit runs far beyond 64 bits compare by value, never overflowing.
    {"1.99999999999999999999999999999", "1.99999999999999999999999999998", 1},
    {"1.000000000000000000000000000001", "1.1", 0},
    {"1.100000000000000000000", "1.99999999999999999999", 1},
    {"2147483648", "2147483647", 1},
    {"4294967296", "4294967295", 1},
};
