// A stand-in Simple MAPI library (built as MAPI32.DLL): MAPISendMailW writes what
// it was given to "<its own path>.txt" and returns the number in the environment
// variable RECORDING_MAPI_RESULT (0 when unset).
#include <windows.h>

#include <string>

namespace {

struct RecipientW
{
    ULONG reserved;
    ULONG recipientClass;
    wchar_t *name;
    wchar_t *address;
    ULONG entryIdSize;
    void *entryId;
};

struct FileW
{
    ULONG reserved;
    ULONG flags;
    ULONG position;
    wchar_t *pathName;
    wchar_t *fileName;
    void *fileType;
};

struct MessageW
{
    ULONG reserved;
    wchar_t *subject;
    wchar_t *noteText;
    wchar_t *messageType;
    wchar_t *dateReceived;
    wchar_t *conversationId;
    ULONG flags;
    RecipientW *originator;
    ULONG recipientCount;
    RecipientW *recipients;
    ULONG fileCount;
    FileW *files;
};

HMODULE self = nullptr;

std::wstring text(const wchar_t *value)
{
    return value ? value : L"(null)";
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    if (reason == DLL_PROCESS_ATTACH)
        self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) ULONG WINAPI MAPISendMailW(ULONG_PTR session, ULONG_PTR window,
                                                            MessageW *message, ULONG flags,
                                                            ULONG reserved)
{
    std::wstring record = L"session=" + std::to_wstring(session) + L"|window="
                          + std::to_wstring(window) + L"|flags=" + std::to_wstring(flags)
                          + L"|reserved=" + std::to_wstring(reserved) + L"|subject="
                          + text(message->subject) + L"|note=" + text(message->noteText)
                          + L"|recipients=" + std::to_wstring(message->recipientCount);
    for (ULONG i = 0; i < message->recipientCount; ++i)
        record += L"|to=" + std::to_wstring(message->recipients[i].recipientClass) + L":"
                  + text(message->recipients[i].address) + L":" + text(message->recipients[i].name);
    record += L"|files=" + std::to_wstring(message->fileCount);
    for (ULONG i = 0; i < message->fileCount; ++i)
        record += L"|file=" + text(message->files[i].pathName) + L":"
                  + text(message->files[i].fileName);

    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(self, path, MAX_PATH * 4);
    HANDLE file = CreateFileW((std::wstring(path) + L".txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
