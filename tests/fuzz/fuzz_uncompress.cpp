// Bytes of any content decompressed in every format with the output limit
// in force: the first byte picks the format code (7 is none), the rest is
// the compressed data.
#include "FuzzWorld.h"

#include "QCompress.h"

#include <cstdint>
#include <cstring>

namespace {

class Observer : public QCompress::StreamObserver
{
public:
    void bytesRead(qint64 count) override
    {
        FUZZ_CHECK(count >= -1);
        if (count > 0)
            read += count;
    }
    void error(const char* message) override
    {
        FUZZ_CHECK(message != nullptr);
        limitReported = limitReported || std::strcmp(message, "Output size limit reached\n") == 0;
    }

    qint64 read = 0;
    bool limitReported = false;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int format = data[0] & 7;
    const QByteArray compressed(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));

    Observer observer;
    const QByteArray result = QCompress::uncompress(compressed, format, &observer);
    FUZZ_CHECK(result.size() <= QCompress::defaultOutputLimit);
    if (observer.limitReported)
        FUZZ_CHECK(result.isEmpty());
    if (format == QCompress::Store)
        FUZZ_CHECK(result == compressed);
    if (format > QCompress::Store)
        FUZZ_CHECK(result.isEmpty() && observer.read == 0);
    return 0;
}
