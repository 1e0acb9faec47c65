// Prints the text on the clipboard of the prefix's desktop in UTF-8, line
// ends as they are there (CRLF); exits 1 when there is none or the clipboard
// is busy.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

int wmain(void)
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (!OpenClipboard(NULL))
        return 1;
    int result = 1;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* text = data ? (const wchar_t*)GlobalLock(data) : NULL;
    if (text) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
        char* utf8 = size > 0 ? malloc((size_t)size) : NULL;
        if (utf8 && WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, size, NULL, NULL) == size) {
            fwrite(utf8, 1, (size_t)size - 1, stdout);
            result = 0;
        }
        free(utf8);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return result;
}
