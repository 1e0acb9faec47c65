// A stand-in Simple MAPI library (built as MAPI32.DLL): MAPISendMailW writes what
// it was given to "<its own path>.txt" and returns the number in the environment
// variable RECORDING_MAPI_RESULT (0 when unset).
#include "SimpleMapiW.h"

#include <windows.h>

#include <string>

namespace {

HMODULE self = nullptr;

std::wstring text(const wchar_t* value)
{
    return value ? value : L"(null)";
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) ULONG WINAPI
    MAPISendMailW(ULONG_PTR session, ULONG_PTR window, MapiMessageW* message, ULONG flags, ULONG reserved)
{
    std::wstring record = L"session=" + std::to_wstring(session) + L"|window=" + std::to_wstring(window) + L"|flags="
        + std::to_wstring(flags) + L"|reserved=" + std::to_wstring(reserved) + L"|subject=" + text(message->lpszSubject)
        + L"|note=" + text(message->lpszNoteText) + L"|recipients=" + std::to_wstring(message->nRecipCount);
    for (ULONG i = 0; i < message->nRecipCount; ++i)
        record += L"|to=" + std::to_wstring(message->lpRecips[i].ulRecipClass) + L":"
            + text(message->lpRecips[i].lpszAddress) + L":" + text(message->lpRecips[i].lpszName);
    record += L"|files=" + std::to_wstring(message->nFileCount);
    for (ULONG i = 0; i < message->nFileCount; ++i)
        record += L"|file=" + text(message->lpFiles[i].lpszPathName) + L":" + text(message->lpFiles[i].lpszFileName);

    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(self, path, MAX_PATH * 4);
    HANDLE file = CreateFileW((std::wstring(path) + L".txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, record.c_str(), DWORD(record.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
    }
    wchar_t result[16] = {};
    return GetEnvironmentVariableW(L"RECORDING_MAPI_RESULT", result, 16) ? ULONG(_wtoi(result)) : 0;
}

// Tells the tests that this library, not the system's, was loaded.
extern "C" __declspec(dllexport) int recordingMapi()
{
    return 1;
}
