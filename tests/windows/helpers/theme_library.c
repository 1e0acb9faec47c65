// theme_library SOURCE TARGET
// Copies a theme library (Wine's uxtheme.dll) to TARGET with the version
// resource of a Windows 10 one, so that a program's dark-mode support test
// says yes. The copy keeps every function of the original. Wine marks its own
// DLLs and loads its builtin in place of a marked file; the mark is cleared,
// so the copy in a program's folder loads as the file it is.
// Exits 0 when the copy is made.
#include <windows.h>

#include <string.h>

// RT_VERSION, as the wide functions take it.
#define VERSION_RESOURCE MAKEINTRESOURCEW(16)

static const char wineMark[] = "Wine builtin DLL";
// Where Wine writes the mark: after the DOS header, inside the DOS stub.
static const LONG wineMarkOffset = 0x40;

static BOOL replaceVersion(const wchar_t* target)
{
    HRSRC own = FindResourceW(NULL, MAKEINTRESOURCEW(1), VERSION_RESOURCE);
    HGLOBAL loaded = own ? LoadResource(NULL, own) : NULL;
    void* data = loaded ? LockResource(loaded) : NULL;
    if (!data)
        return FALSE;
    HANDLE update = BeginUpdateResourceW(target, FALSE);
    if (!update)
        return FALSE;
    // Wine's version resource is language-neutral: ours replaces it there, and
    // takes the place of an English one too.
    UpdateResourceW(update, VERSION_RESOURCE, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), NULL,
                    0);
    const BOOL added = UpdateResourceW(update, VERSION_RESOURCE, MAKEINTRESOURCEW(1),
                                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), data, SizeofResource(NULL, own));
    return EndUpdateResourceW(update, !added) && added;
}

static BOOL clearWineMark(const wchar_t* target)
{
    HANDLE file = CreateFileW(target, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    char mark[sizeof(wineMark) - 1];
    DWORD done = 0;
    BOOL ok = SetFilePointer(file, wineMarkOffset, NULL, FILE_BEGIN) == (DWORD)wineMarkOffset
        && ReadFile(file, mark, sizeof(mark), &done, NULL) && done == sizeof(mark);
    if (ok && memcmp(mark, wineMark, sizeof(mark)) == 0) {
        memset(mark, 0, sizeof(mark));
        ok = SetFilePointer(file, wineMarkOffset, NULL, FILE_BEGIN) == (DWORD)wineMarkOffset
            && WriteFile(file, mark, sizeof(mark), &done, NULL) && done == sizeof(mark);
    }
    CloseHandle(file);
    return ok;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    if (!CopyFileW(argv[1], argv[2], FALSE))
        return 1;
    return replaceVersion(argv[2]) && clearWineMark(argv[2]) ? 0 : 1;
}
