#include "QCompress.h"

#include "QIODeviceFromPos.h"

#include <QtEndian>

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <cstring>

namespace QCompress {

namespace {

// liblzma counts its whole decoder against the limit: 80 MiB lets a 64 MiB
// dictionary through and refuses a 96 MiB one.
constexpr uint64_t decoderMemoryLimit = 80 * 1024 * 1024;

constexpr quint64 moreFollows = 0x01000000;

// One decoding library behind the shared block loop: init, input and output
// windows, one step (1 at the end of the stream, 0 for progress, -1 on an
// error) and end. The three libraries' streams name their windows alike and
// differ only in the byte type.
template <typename Stream, typename Byte>
struct StreamWindows
{
    Stream s{};

    void setInput(char* in, unsigned n)
    {
        s.next_in = reinterpret_cast<Byte*>(in);
        s.avail_in = n;
    }
    void setOutput(char* out, unsigned n)
    {
        s.next_out = reinterpret_cast<Byte*>(out);
        s.avail_out = n;
    }
    bool inputPending() const { return s.avail_in > 0; }
    unsigned outputFree() const { return unsigned(s.avail_out); }
};

// A gzip file may hold several members one after the other, which gzip -d
// reads as one text; bytes after the last member that do not begin another
// are ignored, as gzip -d ignores them. A zlib stream stands alone.
struct ZlibDecoder : StreamWindows<z_stream, Bytef>
{
    bool gzip = false;
    // Where bytes after a member are looked for when none are pending.
    QIODevice* source = nullptr;

    void init() { gzip ? inflateInit2(&s, 31) : inflateInit(&s); }
    int step(bool)
    {
        const int r = inflate(&s, Z_NO_FLUSH);
        if (r == Z_STREAM_END && gzip && anotherMemberFollows()) {
            inflateReset(&s);
            return 0;
        }
        return r == Z_STREAM_END ? 1 : r == Z_OK ? 0 : -1;
    }
    void end() { inflateEnd(&s); }

private:
    // The two magic bytes of a gzip header, from the pending input and, where
    // that ends, from the source without taking them.
    bool anotherMemberFollows() const
    {
        char head[2];
        const qint64 pending = qMin<qint64>(s.avail_in, 2);
        std::memcpy(head, s.next_in, size_t(pending));
        if (pending < 2 && source->peek(head + pending, 2 - pending) != 2 - pending)
            return false;
        return uchar(head[0]) == 0x1f && uchar(head[1]) == 0x8b;
    }
};

struct Bzip2Decoder : StreamWindows<bz_stream, char>
{
    void init() { BZ2_bzDecompressInit(&s, 0, 0); }
    int step(bool)
    {
        const int r = BZ2_bzDecompress(&s);
        return r == BZ_STREAM_END ? 1 : r == BZ_OK ? 0 : -1;
    }
    void end() { BZ2_bzDecompressEnd(&s); }
};

// A zero-filled lzma_stream is LZMA_STREAM_INIT.
struct LzmaAloneDecoder : StreamWindows<lzma_stream, uint8_t>
{
    // A failed init makes the first step fail.
    void init() { initResult = lzma_alone_decoder(&s, decoderMemoryLimit); }
    lzma_ret initResult = LZMA_OK;
    int step(bool finish)
    {
        const lzma_ret r = lzma_code(&s, finish ? LZMA_FINISH : LZMA_RUN);
        return r == LZMA_STREAM_END ? 1 : r == LZMA_OK ? 0 : -1;
    }
    void end() { lzma_end(&s); }
};

// 16 KiB in, 32 KiB out per step; input after the end of the stream is not
// read (gzip reads on while members follow). A failed step or a short write gives -1; what was written stays.
template <class Decoder>
qint64 blockLoop(Decoder& decoder, QIODevice* source, QIODevice* destination, StreamObserver* observer,
                 bool emptyReadFails)
{
    char out[32768];
    char in[16384];
    qint64 total = 0;
    decoder.init();
    for (;;) {
        decoder.setOutput(out, sizeof out);
        if (observer && observer->isCancelled())
            break;
        bool finish = false;
        if (!decoder.inputPending()) {
            const qint64 count = source->read(in, sizeof in);
            if (observer)
                observer->bytesRead(count);
            if (emptyReadFails && count <= 0) {
                total = -1;
                break;
            }
            decoder.setInput(in, unsigned(qMax<qint64>(count, 0)));
            finish = count == 0;
        }
        const int result = decoder.step(finish);
        if (result < 0) {
            total = -1;
            break;
        }
        const qint64 produced = qint64(sizeof out) - decoder.outputFree();
        if (produced > 0) {
            const qint64 written = destination->write(out, produced);
            if (written != produced) {
                total = -1;
                break;
            }
            total += written;
        }
        if (result == 1)
            break;
    }
    decoder.end();
    return total;
}

const char* xzMessage(lzma_ret result)
{
    switch (result) {
    case LZMA_STREAM_END:
        return nullptr;
    case LZMA_MEM_ERROR:
        return "Memory allocation failed\n";
    case LZMA_MEMLIMIT_ERROR:
        return "Memory usage limit reached\n";
    case LZMA_FORMAT_ERROR:
        return "Not a .xz file\n";
    case LZMA_OPTIONS_ERROR:
        return "Unsupported options in the .xz headers\n";
    case LZMA_DATA_ERROR:
    case LZMA_BUF_ERROR:
        return "File is corrupt\n";
    default:
        return "Bug!\n";
    }
}

bool readBigEndian64(QIODevice* source, quint64& value)
{
    uchar bytes[8];
    if (source->read(reinterpret_cast<char*>(bytes), 8) != 8)
        return false;
    value = qFromBigEndian<quint64>(bytes);
    return true;
}

} // namespace

QStreamFromByteArray::QStreamFromByteArray(QByteArray* array, qint64 limit)
    : array(array)
    , limit(limit)
{
}

qint64 QStreamFromByteArray::size() const
{
    return array->size();
}

qint64 QStreamFromByteArray::readData(char* data, qint64 maxSize)
{
    const qint64 count = qBound<qint64>(0, qMin(maxSize, array->size() - pos()), maxSize);
    if (count > 0)
        std::memcpy(data, array->constData() + pos(), size_t(count));
    return count;
}

qint64 QStreamFromByteArray::writeData(const char* data, qint64 size)
{
    const qint64 end = pos() + size;
    if (limit >= 0 && end > limit) {
        overLimit = true;
        return -1;
    }
    if (end > array->size())
        array->resize(end);
    std::memcpy(array->data() + pos(), data, size_t(size));
    return size;
}

QByteArray uncompress(const QByteArray& data, int format, StreamObserver* observer, qint64 outputLimit)
{
    QByteArray result;
    QByteArray input = data; // shared, never written
    QStreamFromByteArray source(&input);
    QStreamFromByteArray destination(&result, outputLimit);
    source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    destination.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (!source.isOpen() || unsigned(format) > Store)
        return result;

    switch (format) {
    case Zlib:
    case Gzip:
        inflateStream(&source, &destination, format == Gzip, observer);
        break;
    case Bzip2:
        bzip2Stream(&source, &destination, observer);
        break;
    case Lzma:
        lzmaStream(&source, &destination, observer);
        break;
    case Xz:
        xzStream(&source, &destination, observer);
        break;
    case Pbzx:
        pbzx_inflate_stream(&source, &destination, observer);
        break;
    case Store:
        storeStream(&source, &destination, observer);
        break;
    }
    if (destination.limitReached()) {
        if (observer)
            observer->error("Output size limit reached\n");
        return {};
    }
    return result;
}

qint64 inflateStream(QIODevice* source, QIODevice* destination, bool gzip, StreamObserver* observer)
{
    ZlibDecoder decoder;
    decoder.gzip = gzip;
    decoder.source = source;
    return blockLoop(decoder, source, destination, observer, false);
}

qint64 bzip2Stream(QIODevice* source, QIODevice* destination, StreamObserver* observer)
{
    Bzip2Decoder decoder;
    return blockLoop(decoder, source, destination, observer, true);
}

qint64 lzmaStream(QIODevice* source, QIODevice* destination, StreamObserver* observer)
{
    LzmaAloneDecoder decoder;
    return blockLoop(decoder, source, destination, observer, false);
}

// Never -1: its failures go to the observer as texts.
qint64 xzStream(QIODevice* source, QIODevice* destination, StreamObserver* observer)
{
    uint8_t in[512];
    uint8_t out[512];
    qint64 total = 0;
    const char* message = nullptr;

    lzma_stream s = LZMA_STREAM_INIT;
    lzma_ret result = lzma_stream_decoder(&s, decoderMemoryLimit, LZMA_TELL_UNSUPPORTED_CHECK);
    if (result != LZMA_OK)
        message = xzMessage(result);
    s.next_out = out;
    s.avail_out = sizeof out;

    while (!message) {
        if (observer && observer->isCancelled())
            break;
        if (s.avail_in == 0) {
            const qint64 count = source->read(reinterpret_cast<char*>(in), sizeof in);
            if (observer)
                observer->bytesRead(count);
            s.next_in = in;
            s.avail_in = size_t(qMax<qint64>(count, 0));
        }
        result = lzma_code(&s, LZMA_RUN);
        if (s.avail_out == 0) {
            if (destination->write(reinterpret_cast<char*>(out), sizeof out) != qint64(sizeof out)) {
                message = "Write error\n";
                break;
            }
            total += qint64(sizeof out);
            s.next_out = out;
            s.avail_out = sizeof out;
        }
        if (result == LZMA_OK || result == LZMA_UNSUPPORTED_CHECK)
            continue;

        const qint64 pending = qint64(sizeof out - s.avail_out);
        if (pending > 0) {
            if (destination->write(reinterpret_cast<char*>(out), pending) != pending) {
                message = "Write error\n";
                break;
            }
            total += pending;
        }
        message = xzMessage(result);
        break;
    }
    if (message && observer)
        observer->error(message);
    lzma_end(&s);
    return total;
}

qint64 storeStream(QIODevice* source, QIODevice* destination, StreamObserver* observer)
{
    qint64 remaining = source->size();
    qint64 total = 0;
    while (remaining > 0) {
        if (observer && observer->isCancelled())
            return total;
        const qint64 wanted = qMin<qint64>(remaining, 81920);
        const QByteArray piece = source->read(wanted);
        if (observer)
            observer->bytesRead(piece.size());
        if (piece.size() < wanted)
            return -1;
        const qint64 written = destination->write(piece);
        if (written != piece.size())
            return -1;
        total += written;
        remaining -= piece.size();
    }
    return total;
}

qint64 pbzx_inflate_stream(QIODevice* source, QIODevice* destination, StreamObserver* observer)
{
    char magic[4];
    if (source->read(magic, 4) != 4 || std::memcmp(magic, "pbzx", 4) != 0)
        return -1;
    quint64 headerFlags = 0;
    if (!readBigEndian64(source, headerFlags))
        return -1;
    if (!(headerFlags & moreFollows))
        return 0;

    static const QByteArray xzMagic("\xFD"
                                    "7zXZ\0",
                                    6);
    qint64 total = 0;
    for (;;) {
        quint64 chunkFlags = 0;
        quint64 chunkLength = 0;
        if (!readBigEndian64(source, chunkFlags) || !readBigEndian64(source, chunkLength))
            return -1;
        const qint64 start = source->pos();
        // A chunk that claims more than is left is a short read.
        if (chunkLength > quint64(qMax<qint64>(source->size() - start, 0)))
            return -1;
        const bool stored = chunkFlags == chunkLength;

        QIODeviceFromPos window(source, start, qint64(chunkLength));
        const QByteArray head = window.read(6);
        window.seek(0);
        if (!stored && head != xzMagic) {
            if (observer)
                observer->error("pbzx_inflate_stream: the header is not <FD>7zXZ<00>");
            return total;
        }
        source->seek(start + qint64(chunkLength));

        const qint64 written
            = stored ? storeStream(&window, destination, observer) : xzStream(&window, destination, observer);
        if (written < 0)
            return -1;
        total += written;

        window.seek(qMax<qint64>(window.size() - 2, 0));
        if (!stored && window.read(2) != "YZ") {
            if (observer)
                observer->error("pbzx_inflate_stream: the footer is not YZ");
            return total;
        }
        if (!(chunkFlags & moreFollows))
            return total;
    }
}

} // namespace QCompress
