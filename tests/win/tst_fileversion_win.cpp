#include "WinTest.h"

#include "FileVersionInfo.h"

WIN_TEST(fileversion, resourceTexts)
{
    const std::wstring child = WinTest::exeFolder() + L"wintests_child.exe";
    FileVersionInfo info;
    CHECK(readFileVersionInfo(child.c_str(), info));
    CHECK(!info.empty);
    CHECK_EQ(info.fileVersion, std::wstring(L"3.0.0.118"));
    CHECK_EQ(info.major(), 3u);
    CHECK_EQ(info.minor(), 0u);
    CHECK_EQ(info.build(), 0u);
    CHECK_EQ(info.revision(), 118u);
    CHECK_EQ(info.companyName, std::wstring(L"Tulverhaven Software"));
    // Blanks only: left empty.
    CHECK(info.fileDescription.empty());
    CHECK_EQ(fileProductVersion(child.c_str()), std::wstring(L"3.0.0 test"));

    // Forward slashes reach the same file.
    std::wstring slashed = child;
    for (wchar_t& c : slashed)
        c = c == L'\\' ? L'/' : c;
    FileVersionInfo again;
    CHECK(readFileVersionInfo(slashed.c_str(), again));
    CHECK_EQ(again.fileVersion, std::wstring(L"3.0.0.118"));
}

WIN_TEST(fileversion, shortVersionAndOtherLanguage)
{
    const std::wstring module = WinTest::exeFolder() + L"wintests_module.dll";
    FileVersionInfo info;
    CHECK(readFileVersionInfo(module.c_str(), info));
    CHECK_EQ(info.fileVersion, std::wstring(L"3.0"));
    CHECK_EQ(info.major(), 3u);
    CHECK_EQ(info.minor(), 0u);
    CHECK_EQ(info.build(), 0u);
    CHECK_EQ(info.revision(), 0u);
    CHECK_EQ(info.fileDescription, std::wstring(L"Quorbilan test module"));
    CHECK(info.companyName.empty());
    CHECK(fileProductVersion(module.c_str()).empty());
}

WIN_TEST(fileversion, noResource)
{
    // The test executable has a manifest but no version resource.
    const std::wstring self = WinTest::exeFolder() + L"wintests.exe";
    for (const std::wstring& path : {self, WinTest::exeFolder() + L"missing.exe"}) {
        FileVersionInfo info;
        CHECK_MSG(!readFileVersionInfo(path.c_str(), info), WinTest::utf8(path));
        CHECK(info.empty);
        CHECK(info.fileVersion.empty());
        CHECK_EQ(info.major(), 0u);
        CHECK(fileProductVersion(path.c_str()).empty());
    }
    FileVersionInfo info;
    CHECK(!readFileVersionInfo(nullptr, info));
    CHECK(!readFileVersionInfo(L"", info));
}

WIN_TEST(fileversion, existence)
{
    const std::wstring folder = WinTest::exeFolder();
    CHECK(fileExists((folder + L"wintests_child.exe").c_str()));
    CHECK(fileExists(folder.c_str()));
    CHECK(fileExists(L"C:/windows/system32"));
    CHECK(!fileExists((folder + L"missing.exe").c_str()));
    CHECK(!fileExists(nullptr));
    CHECK(!fileExists(L""));
    // ".." cannot take the long-path form; it is tested as written.
    CHECK(fileExists(L"C:\\windows\\..\\windows\\system32"));
    // Relative paths are left as they are.
    CHECK(SetCurrentDirectoryW(folder.c_str()));
    CHECK(fileExists(L"wintests_child.exe"));
    CHECK(!fileExists(L"missing.exe"));
}
