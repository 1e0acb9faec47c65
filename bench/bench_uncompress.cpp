// The decompressor's side of bench/uncompress.sh:
//   bench_uncompress make FILE MIB       writes a text payload of about MIB MiB
//   bench_uncompress run FILE gzip|xz    decompresses FILE in memory to stdout
#include "QCompress.h"

#include <QFile>
#include <QRandomGenerator>

#include <cstdio>

namespace {

// Log-like lines: repetitive enough to compress well, varied enough to work the decoder.
QByteArray makePayload(qint64 bytes)
{
    static const char* const words[] = {"vacuum",   "profile", "places.sqlite", "cookies", "freed", "pages",
                                        "Chromium", "Mozilla", "journal",       "wal",     "index", "done"};
    QRandomGenerator random(14);
    QByteArray text;
    text.reserve(bytes + 256);
    while (text.size() < bytes) {
        text += QByteArray::number(random.bounded(1000000)) + ' ';
        for (int i = 0, n = 3 + int(random.bounded(8)); i < n; ++i)
            text += QByteArray(words[random.bounded(int(std::size(words)))]) + ' ';
        text += QByteArray::number(random.generate64(), 16) + '\n';
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s make FILE MIB | run FILE gzip|xz\n", argv[0]);
        return 2;
    }
    const QByteArray mode(argv[1]);
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (mode == "make") {
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(makePayload(QByteArray(argv[3]).toLongLong() * 1024 * 1024));
        return 0;
    }
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const int format = QByteArray(argv[3]) == "xz" ? QCompress::Xz : QCompress::Gzip;
    const QByteArray out = QCompress::uncompress(file.readAll(), format, nullptr, -1);
    if (out.isEmpty())
        return 1;
    return std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size()) ? 0 : 1;
}
