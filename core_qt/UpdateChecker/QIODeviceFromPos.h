#pragma once

#include <QIODevice>

// A read-only window [offset, offset + size) onto another device. Reading
// through it never moves the source's position.
class QIODeviceFromPos : public QIODevice
{
    Q_OBJECT

public:
    QIODeviceFromPos(QIODevice* source, qint64 offset, qint64 size);

    qint64 size() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QIODevice* source;
    qint64 offset;
    qint64 length;
};
