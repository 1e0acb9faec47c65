#include "FormatByteSize.h"

#include "QtHelpers.h"

// Linux has no shell formatter: the program's own sizes serve.
QString formatByteSize(qint64 bytes)
{
    return formatSize(bytes);
}
