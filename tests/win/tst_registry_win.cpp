#include "WinTest.h"

#include "Registry.h"

#include <string>

namespace {

// A key of the test's own under HKCU, removed with everything in it at the end.
class TestKey
{
public:
    TestKey()
    {
        const std::wstring path
            = L"Software\\Tulverhaven Software\\QuorbilanWinTests\\" + std::to_wstring(GetCurrentProcessId());
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        m_path = path;
    }
    ~TestKey()
    {
        if (key)
            RegCloseKey(key);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }

    bool set(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    }
    bool setText(const wchar_t* name, DWORD type, const std::wstring& text)
    {
        return set(name, type, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
    }

    HKEY key = nullptr;

private:
    std::wstring m_path;
};

} // namespace

WIN_TEST(registry, plainAndLongText)
{
    TestKey k;
    CHECK(k.key);
    CHECK(k.setText(L"Plain", REG_SZ, L"Quorbilan 3.0"));
    std::wstring out = L"old";
    CHECK(regQueryString(k.key, L"Plain", out));
    CHECK_EQ(out, std::wstring(L"Quorbilan 3.0"));

    // Beyond the first 2048-byte buffer.
    std::wstring longText;
    for (int i = 0; longText.size() < 3000; ++i)
        longText += std::to_wstring(i) + L' ';
    CHECK(k.setText(L"Long", REG_SZ, longText));
    CHECK(regQueryString(k.key, L"Long", out));
    CHECK_EQ(out.size(), longText.size());
    CHECK(out == longText);
}

WIN_TEST(registry, expandedText)
{
    TestKey k;
    CHECK(SetEnvironmentVariableW(L"QUORBILAN_TEST_DIR", L"C:\\expanded"));
    CHECK(k.setText(L"Expand", REG_EXPAND_SZ, L"%QUORBILAN_TEST_DIR%\\sub"));
    std::wstring out;
    CHECK(regQueryString(k.key, L"Expand", out));
    CHECK_EQ(out, std::wstring(L"C:\\expanded\\sub"));

    // The expansion is far longer than the stored data.
    const std::wstring longValue(700, L'v');
    CHECK(SetEnvironmentVariableW(L"QUORBILAN_TEST_LONG", longValue.c_str()));
    CHECK(k.setText(L"Grows", REG_EXPAND_SZ, L"%QUORBILAN_TEST_LONG%"));
    CHECK(regQueryString(k.key, L"Grows", out));
    CHECK(out == longValue);

    // A long expandable value: beyond the first buffer and expanded.
    const std::wstring longData = L"%QUORBILAN_TEST_DIR%" + std::wstring(1500, L'x');
    CHECK(k.setText(L"LongExpand", REG_EXPAND_SZ, longData));
    CHECK(regQueryString(k.key, L"LongExpand", out));
    CHECK(out == L"C:\\expanded" + std::wstring(1500, L'x'));

    // An unknown variable stays as written.
    CHECK(k.setText(L"Unknown", REG_EXPAND_SZ, L"%QUORBILAN_NO_SUCH_VARIABLE%"));
    CHECK(regQueryString(k.key, L"Unknown", out));
    CHECK_EQ(out, std::wstring(L"%QUORBILAN_NO_SUCH_VARIABLE%"));
}

WIN_TEST(registry, refusedValuesLeaveOutUnchanged)
{
    TestKey k;
    const DWORD number = 42;
    CHECK(k.set(L"Number", REG_DWORD, &number, sizeof(number)));
    std::wstring out = L"old";
    CHECK(!regQueryString(k.key, L"Number", out));
    CHECK_EQ(out, std::wstring(L"old"));
    CHECK(!regQueryString(k.key, L"Missing", out));
    CHECK_EQ(out, std::wstring(L"old"));
    const BYTE bytes[3000] = {};
    CHECK(k.set(L"Binary", REG_BINARY, bytes, sizeof(bytes)));
    CHECK(!regQueryString(k.key, L"Binary", out));
    CHECK_EQ(out, std::wstring(L"old"));
}

WIN_TEST(registry, emptyValueGivesEmptyText)
{
    TestKey k;
    CHECK(k.setText(L"Empty", REG_SZ, L""));
    std::wstring out = L"old";
    CHECK(regQueryString(k.key, L"Empty", out));
    CHECK(out.empty());

    CHECK(k.set(L"NoData", REG_SZ, nullptr, 0));
    out = L"old";
    CHECK(regQueryString(k.key, L"NoData", out));
    CHECK(out.empty());

    CHECK(k.setText(L"EmptyExpand", REG_EXPAND_SZ, L""));
    out = L"old";
    CHECK(regQueryString(k.key, L"EmptyExpand", out));
    CHECK(out.empty());
}
