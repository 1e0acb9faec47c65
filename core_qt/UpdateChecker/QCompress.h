#pragma once

#include <QByteArray>
#include <QIODevice>

// Decompression of whole byte arrays in seven formats, through stream loops that
// move bytes from a source device to a destination device.
namespace QCompress {

enum Format {
    Zlib = 0,
    Gzip = 1,
    Bzip2 = 2,
    Lzma = 3,
    Xz = 4,
    Pbzx = 5,
    Store = 6,
};

// Output beyond this ends a decompression: a feed is a few KiB, and a small
// compressed file must not expand into gigabytes in memory.
constexpr qint64 defaultOutputLimit = 16 * 1024 * 1024;

// Optional hooks every stream loop accepts.
class StreamObserver
{
public:
    virtual ~StreamObserver() = default;
    // Polled once per loop iteration; true ends the loop.
    virtual bool isCancelled() { return false; }
    // The count of every read from the source.
    virtual void bytesRead(qint64 count) { Q_UNUSED(count); }
    // Not called by the loops.
    virtual void bytesWritten(qint64 count) { Q_UNUSED(count); }
    // Error texts of the xz and pbzx loops and of the output limit.
    virtual void error(const char* message) { Q_UNUSED(message); }
};

// A random-access device over a byte array it does not own. With a limit set,
// a write that would grow the array past it fails and limitReached() is true.
class QStreamFromByteArray : public QIODevice
{
public:
    explicit QStreamFromByteArray(QByteArray* array, qint64 limit = -1);

    qint64 size() const override;
    bool limitReached() const { return overLimit; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QByteArray* array;
    qint64 limit;
    bool overLimit = false;
};

// The uncompressed bytes of `data` as far as they could be decoded; empty for
// a format code outside 0..6. Output past `outputLimit` (negative: none) gives
// an empty result and the text "Output size limit reached\n" to the observer.
QByteArray uncompress(const QByteArray& data, int format, StreamObserver* observer = nullptr,
                      qint64 outputLimit = defaultOutputLimit);

// Each returns the bytes written to the destination, or -1 on a failure.
qint64 inflateStream(QIODevice* source, QIODevice* destination, bool gzip, StreamObserver* observer);
qint64 bzip2Stream(QIODevice* source, QIODevice* destination, StreamObserver* observer);
qint64 lzmaStream(QIODevice* source, QIODevice* destination, StreamObserver* observer);
qint64 xzStream(QIODevice* source, QIODevice* destination, StreamObserver* observer);
qint64 storeStream(QIODevice* source, QIODevice* destination, StreamObserver* observer);
qint64 pbzx_inflate_stream(QIODevice* source, QIODevice* destination, StreamObserver* observer);

} // namespace QCompress
