#include "FormatByteSize.h"

#include <QLocale>

QString formatByteSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}
