#include "QIODeviceFromPos.h"

QIODeviceFromPos::QIODeviceFromPos(QIODevice* source, qint64 offset, qint64 size)
    : source(source)
    , offset(offset)
    , length(size)
{
    // Unbuffered keeps pos() the window's true position while readData runs.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 QIODeviceFromPos::size() const
{
    return length;
}

qint64 QIODeviceFromPos::readData(char* data, qint64 maxSize)
{
    const qint64 count = qMin(maxSize, qMax<qint64>(length - pos(), 0));
    const qint64 sourcePos = source->pos();
    if (!source->seek(offset + pos()))
        return -1;
    const qint64 read = source->read(data, count);
    source->seek(sourcePos);
    return read;
}

qint64 QIODeviceFromPos::writeData(const char*, qint64)
{
    return -1;
}
