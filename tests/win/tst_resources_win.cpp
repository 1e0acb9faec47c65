// Runs inside a program that carries the program's own resource object.
#include "WinTest.h"

#include "FileVersionInfo.h"
#include "ProcessHelpers.h"
#include "ProductIdentity.h"
#include "WideUtf8.h"
#include "WindowsVersion.h"

#include <string>

namespace {

std::wstring ownPath()
{
    return ProcessHelpers::moduleFileName(ProcessHelpers::currentModule());
}

} // namespace

WIN_TEST(resources, versionFromProductIdentity)
{
    FileVersionInfo info;
    CHECK(readFileVersionInfo(ownPath().c_str(), info));
    CHECK(!info.empty);
    CHECK_EQ(info.major(), uint32_t(QUORBILAN_VERSION_MAJOR));
    CHECK_EQ(info.minor(), uint32_t(QUORBILAN_VERSION_MINOR));
    CHECK_EQ(info.build(), uint32_t(QUORBILAN_VERSION_PATCH));
    CHECK_EQ(info.revision(), uint32_t(QUORBILAN_VERSION_BUILD));
    CHECK_EQ(info.fileVersion, utf8ToWide(QUORBILAN_FILE_VERSION_TEXT));
    CHECK_EQ(info.companyName, utf8ToWide(QUORBILAN_ORGANIZATION));
    CHECK_EQ(info.fileDescription, utf8ToWide(QUORBILAN_DESCRIPTION));
    CHECK_EQ(fileProductVersion(ownPath().c_str()), utf8ToWide(QUORBILAN_FILE_VERSION_TEXT));
}

WIN_TEST(resources, iconOneAtEverySize)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    CHECK(FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON) != nullptr);
    // The sizes appIcon() loads, each drawn at its own size rather than scaled.
    for (int size : {16, 32, 64, 128}) {
        HICON icon
            = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_LOADTRANSPARENT));
        CHECK_MSG(icon != nullptr, std::to_string(size));
        ICONINFO parts{};
        const bool read = GetIconInfo(icon, &parts);
        BITMAP bitmap{};
        if (read)
            GetObjectW(parts.hbmColor ? parts.hbmColor : parts.hbmMask, sizeof(bitmap), &bitmap);
        if (parts.hbmColor)
            DeleteObject(parts.hbmColor);
        if (parts.hbmMask)
            DeleteObject(parts.hbmMask);
        DestroyIcon(icon);
        CHECK(read);
        CHECK_EQ(bitmap.bmWidth, LONG(size));
    }
}

WIN_TEST(resources, manifestShowsTheRealWindowsVersion)
{
    // The real version, which no manifest changes: Windows 10 (wineserver.sh).
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    CHECK(rtlGetVersion != nullptr);
    OSVERSIONINFOEXW real{};
    real.dwOSVersionInfoSize = sizeof(real);
    CHECK(rtlGetVersion(&real) == 0);
    CHECK_EQ(unsigned(real.dwMajorVersion), 10u);

    // Without the manifest's supportedOS list Windows 10 answers 6.2 here.
    const DWORD version = GetVersion();
    CHECK_EQ(unsigned(LOBYTE(LOWORD(version))), 10u);
    CHECK_EQ(unsigned(HIBYTE(LOWORD(version))), 0u);
    CHECK(isWindowsVersion(10, 0));
    CHECK(!isWindowsVersion(6, 2));
}

WIN_TEST(resources, manifestAsksForCommonControls6)
{
    // The process's activation context redirects comctl32.dll to version 6.
    ACTCTX_SECTION_KEYED_DATA data{};
    data.cbSize = sizeof(data);
    CHECK(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"comctl32.dll", &data));
}

WIN_TEST(resources, versionStringsFromProductIdentity)
{
    // Read straight from the version resource, whatever the program's own reader makes of it.
    const std::wstring path = ownPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    CHECK(size > 0);
    std::string block(size, '\0');
    CHECK(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    struct Translation
    {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    CHECK(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    CHECK(length >= sizeof(Translation));
    wchar_t prefix[64];
    wsprintfW(prefix, L"\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
    const auto value = [&](const wchar_t* name) {
        wchar_t* text = nullptr;
        UINT chars = 0;
        if (!VerQueryValueW(block.data(), (std::wstring(prefix) + name).c_str(), reinterpret_cast<void**>(&text),
                            &chars)
            || !text)
            return std::wstring(L"(missing)");
        return std::wstring(text);
    };
    CHECK_EQ(value(L"ProductName"), utf8ToWide(QUORBILAN_PRODUCT_NAME));
    CHECK_EQ(value(L"ProductVersion"), utf8ToWide(QUORBILAN_FILE_VERSION_TEXT));
    CHECK_EQ(value(L"FileVersion"), utf8ToWide(QUORBILAN_FILE_VERSION_TEXT));
}
