#include "RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <windows.h>

// Opening a file never waits for a peer on Windows; the type check keeps
// devices and pipes out, and a sharing violation is told apart because it
// means the owning program still runs.
namespace RegularFile {

namespace {

QString errorText(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString result = text ? QString::fromWCharArray(text).trimmed() : QString::number(code);
    LocalFree(text);
    return result;
}

HANDLE openForExamination(const QString& path, Examination& result)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    HANDLE file = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        return file;
    const DWORD code = GetLastError();
    result.error = errorText(code);
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        result.kind = Kind::Missing;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        result.kind = Kind::InUse;
        break;
    default:
        result.kind = QFileInfo(path).isDir() ? Kind::NotRegular : Kind::Unreadable;
        break;
    }
    return nullptr;
}

bool isRegular(HANDLE file, qint64& size)
{
    LARGE_INTEGER length{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length))
        return false;
    size = qint64(length.QuadPart);
    return true;
}

qint64 readFully(HANDLE file, char* buffer, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        DWORD n = 0;
        const DWORD chunk = DWORD(qMin<qint64>(size - done, 1 << 20));
        if (!ReadFile(file, buffer + done, chunk, &n, nullptr))
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

Examination examine(const QString& path, int headBytes)
{
    Examination result;
    HANDLE file = openForExamination(path, result);
    if (!file)
        return result;
    if (!isRegular(file, result.size)) {
        result.kind = Kind::NotRegular;
        result.size = -1;
        result.error = QStringLiteral("not a regular file");
    } else {
        result.kind = Kind::Regular;
        result.head.resize(qMax(headBytes, 0));
        const qint64 n = readFully(file, result.head.data(), result.head.size());
        result.head.resize(n > 0 ? qsizetype(n) : 0);
    }
    CloseHandle(file);
    return result;
}

bool readAll(const QString& path, QByteArray& contents, qint64 maxBytes)
{
    contents.clear();
    Examination result;
    HANDLE file = openForExamination(path, result);
    if (!file)
        return false;
    qint64 size = 0;
    bool ok = isRegular(file, size) && size <= maxBytes;
    if (ok) {
        contents.resize(qsizetype(size));
        const qint64 n = readFully(file, contents.data(), size);
        ok = n >= 0;
        contents.resize(ok ? qsizetype(n) : 0);
    }
    CloseHandle(file);
    return ok;
}

// Names are UTF-16 on Windows; every one of them can be opened.
FolderEntries listFolder(const QString& folder)
{
    FolderEntries result;
    const QDir dir(folder);
    if (!dir.exists())
        result.error = QStringLiteral("the folder does not exist");
    else if (!dir.isReadable())
        result.error = QStringLiteral("access denied");
    else
        result.names = dir.entryList(QDir::Files | QDir::System, QDir::Unsorted);
    return result;
}

} // namespace RegularFile
