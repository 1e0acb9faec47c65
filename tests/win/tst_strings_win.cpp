#include "WinTest.h"

#include "CodePage.h"
#include "FileVersionInfo.h"
#include "StringHelpers.h"
#include "WideUtf8.h"
#include "CompareVersionsCases.h"

WIN_TEST(strings, compareVersionsTable)
{
    for (const CompareVersionsCase& c : compareVersionsCases) {
        const std::string row = std::string("'") + c.a + "' vs '" + c.b + "'";
        CHECK_MSG(compareVersions(c.a, c.b) == c.result, row);
        CHECK_MSG(compareVersions(c.b, c.a) == -c.result, row + " swapped");
    }
}

WIN_TEST(strings, replaceAllIgnoringCase)
{
    std::wstring text = L"%app_name% %APP_NAME% %App_Name%";
    CHECK_EQ(replaceAll(text, L"%app_name%", L"Quorbilan", false), 1);
    CHECK_EQ(text, std::wstring(L"Quorbilan %APP_NAME% %App_Name%"));
    CHECK_EQ(replaceAll(text, L"%app_name%", L"%app_name%!", true), 2);
    CHECK_EQ(text, std::wstring(L"Quorbilan %app_name%! %app_name%!"));
    CHECK_EQ(replaceAll(text, L"", L"x", true), 0);
    std::wstring path = L"C:/dir/file";
    CHECK_EQ(replaceAllCStr(path, L"/", L"\\", false), 2);
    CHECK_EQ(path, std::wstring(L"C:\\dir\\file"));
}

WIN_TEST(strings, findNoCaseThroughSystemTable)
{
    // \u00c4 and \u00e4 differ only in case; so do the Cyrillic and Greek pairs.
    CHECK_EQ(findNoCase(L"x\u00c4BC", L"\u00e4b", 0), std::wstring::size_type(1));
    CHECK_EQ(findNoCase(L"\u041f\u0420\u0418", L"\u043f\u0440\u0438", 0), std::wstring::size_type(0));
    CHECK_EQ(findNoCase(L"\u03a9", L"\u03c9", 0), std::wstring::size_type(0));
    CHECK_EQ(findNoCase(L"abc", L"", 3), std::wstring::size_type(3));
    CHECK_EQ(findNoCase(L"abc", L"", 4), std::wstring::npos);
    CHECK_EQ(findNoCase(L"abcd", L"CD", 3), std::wstring::npos);
}

WIN_TEST(strings, trim)
{
    std::wstring text = L"  1.0 \t";
    trimWhitespace(text);
    CHECK_EQ(text, std::wstring(L"1.0"));
    text = L" \r\n\t ";
    trimWhitespace(text);
    CHECK(text.empty());
}

WIN_TEST(strings, multiByte)
{
    CHECK_EQ(wideToAnsi(L"Quorbilan 3.0"), std::string("Quorbilan 3.0"));
    CHECK_EQ(wideToAnsi(L""), std::string());
    std::string out = "old";
    CHECK(wideToMultiByte(L"\u00e4\u20ac", out, CP_UTF8));
    CHECK_EQ(out, std::string("\xc3\xa4\xe2\x82\xac"));
    out = "old";
    CHECK(!wideToMultiByte(L"abc", out, 12345)); // no such code page
    CHECK_EQ(out, std::string("old"));
    CHECK(!wideToMultiByte(nullptr, out, CP_UTF8));
}

WIN_TEST(strings, wideUtf8)
{
    const std::wstring text = L"a\u00e4\u20ac\U0001F600";
    const std::string bytes = "a\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80";
    CHECK_EQ(wideToUtf8(text), bytes);
    CHECK_EQ(utf8ToWide(bytes), text);
    CHECK(wideToUtf8(L"").empty());
    CHECK(utf8ToWide("").empty());
    // Windows cannot keep what is not UTF-8: it becomes U+FFFD.
    CHECK_EQ(utf8ToWide("a\xff"), std::wstring(L"a\ufffd"));
}

WIN_TEST(strings, fileVersionText)
{
    FileVersionInfo commas;
    commas.setFileVersion(L" 3, 0, 0, 118 ");
    CHECK_EQ(commas.fileVersion, std::wstring(L"3.0.0.118"));
    CHECK_EQ(commas.major(), 3u);
    CHECK_EQ(commas.revision(), 118u);
    FileVersionInfo dots;
    dots.setFileVersion(L"3.0");
    CHECK_EQ(dots.major(), 3u);
    CHECK_EQ(dots.minor(), 0u);
    CHECK_EQ(dots.build(), 0u);
}
