#include "FormatByteSize.h"

#include <windows.h>
#include <shlwapi.h>

#include <iterator>

QString formatByteSize(qint64 bytes)
{
    wchar_t buffer[64] = {};
    if (!StrFormatByteSizeW(bytes, buffer, static_cast<UINT>(std::size(buffer))))
        return QString();
    return QString::fromWCharArray(buffer);
}
