// Writes the seed corpus of every fuzz target from the project's own
// fixtures: make_fuzz_seeds OUTPUT_DIR SOURCE_DIR. Each seed is named by the
// SHA-1 of its content, as libFuzzer names the inputs it keeps.
#include "ProgramFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtEndian>

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <cstdio>

namespace {

QString outputDir;
bool failed = false;

void addSeed(const QString& target, const QByteArray& content)
{
    const QString dir = outputDir + QLatin1Char('/') + target;
    const QString name = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha1).toHex());
    QFile file(dir + QLatin1Char('/') + name);
    if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        failed = true;
    }
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        failed = true;
        return QByteArray();
    }
    return file.readAll();
}

// Every file of that name in the tree.
void addFilesNamed(const QString& target, const QString& root, const QString& fileName)
{
    QDirIterator it(root, {fileName}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        addSeed(target, readAll(it.next()));
}

// argv as the command-line target takes it: NUL-separated, own name first.
QByteArray commandLine(const QStringList& arguments)
{
    QByteArray bytes("quorbilan");
    for (const QString& argument : arguments)
        bytes += '\0' + argument.toUtf8();
    return bytes;
}

void addCommandLines(const TestSupport::ProgramFixture& fixture)
{
    const QStringList options = {"/list", "-list", "--list", "/?", "-h", "--help", "/help", "-psn_0_4711"};
    for (const QString& option : options)
        addSeed("command_line", commandLine({option}));
    addSeed("command_line", QByteArray("quorbilan"));

    const QDir root(fixture.root());
    QStringList all;
    for (const TestSupport::ExpectedProfile& profile : fixture.expected()) {
        const QString byName = QStringLiteral("/%1:%2").arg(profile.program, profile.name);
        const QString byFolder = QStringLiteral("-%1:%2").arg(profile.program, root.relativeFilePath(profile.path));
        addSeed("command_line", commandLine({byName}));
        addSeed("command_line", commandLine({byFolder}));
        all << QStringLiteral("/%1:all").arg(profile.program.toLower());
    }
    all.removeDuplicates();
    addSeed("command_line", commandLine(all));
    addSeed("command_line", commandLine({"/Firefox:.", "/Opera:Local", "/Nowhere:all", "/list", "/Chrome:"}));
}

QByteArray zlibStream(const QByteArray& data, bool gzip)
{
    z_stream stream{};
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 64, '\0');
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const bool ok = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return ok ? out : QByteArray();
}

QByteArray bzip2Stream(const QByteArray& data)
{
    QByteArray out(data.size() + data.size() / 100 + 700, '\0');
    auto length = unsigned(out.size());
    if (BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(data.constData()), unsigned(data.size()), 9, 0,
                                 0)
        != BZ_OK)
        return QByteArray();
    out.truncate(qsizetype(length));
    return out;
}

QByteArray lzmaStream(const QByteArray& data, bool xz)
{
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    const lzma_ret init = xz ? lzma_easy_encoder(&stream, 6, LZMA_CHECK_CRC64) : lzma_alone_encoder(&stream, &options);
    if (init != LZMA_OK)
        return QByteArray();
    QByteArray out(data.size() + 4096, '\0');
    stream.next_in = reinterpret_cast<const uint8_t*>(data.constData());
    stream.avail_in = size_t(data.size());
    stream.next_out = reinterpret_cast<uint8_t*>(out.data());
    stream.avail_out = size_t(out.size());
    const bool ok = lzma_code(&stream, LZMA_FINISH) == LZMA_STREAM_END;
    out.truncate(qsizetype(stream.total_out));
    lzma_end(&stream);
    return ok ? out : QByteArray();
}

QByteArray bigEndian64(quint64 value)
{
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// The pbzx container: a header whose flags say that chunks follow, an xz
// chunk of the first half and a stored chunk of the rest.
QByteArray pbzxStream(const QByteArray& data)
{
    const quint64 moreFollows = 0x01000000;
    const QByteArray first = data.left(data.size() / 2);
    const QByteArray rest = data.mid(first.size());
    const QByteArray packed = lzmaStream(first, true);
    return "pbzx" + bigEndian64(moreFollows) + bigEndian64(quint64(first.size()) | moreFollows)
        + bigEndian64(quint64(packed.size())) + packed + bigEndian64(quint64(rest.size()))
        + bigEndian64(quint64(rest.size())) + rest;
}

// The uncompress target's input: the format code, then the compressed bytes.
void addCompressed(const QByteArray& plain)
{
    const QList<QByteArray> streams = {zlibStream(plain, false),
                                       zlibStream(plain, true),
                                       bzip2Stream(plain),
                                       lzmaStream(plain, false),
                                       lzmaStream(plain, true),
                                       pbzxStream(plain),
                                       plain};
    for (int format = 0; format < streams.size(); ++format) {
        if (streams[format].isEmpty() && !plain.isEmpty()) {
            std::fprintf(stderr, "cannot compress in format %d\n", format);
            failed = true;
        }
        addSeed("uncompress", char(format) + streams[format]);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR SOURCE_DIR\n", argv[0]);
        return 2;
    }
    outputDir = QString::fromLocal8Bit(argv[1]);
    const QString sourceDir = QString::fromLocal8Bit(argv[2]);
    QDir(outputDir).removeRecursively();

    TestSupport::ProgramFixture fixture;
    if (!fixture.buildStandardTree()) {
        std::fprintf(stderr, "cannot build the program tree\n");
        return 1;
    }
    addFilesNamed("profiles_ini", fixture.root(), "profiles.ini");
    addFilesNamed("local_state", fixture.root(), "Local State");
    addCommandLines(fixture);
    addSeed("language_table", readAll(sourceDir + "/core_qt/resources/English.xml"));
    addSeed("language_table", readAll(sourceDir + "/tests/core/data/Compressed.xml"));

    for (const char* feedFile : {"/tests/fuzz/feed.xml", "/tests/update/data/example-feed.xml"}) {
        const QByteArray feed = readAll(sourceDir + feedFile);
        addSeed("update_feed", feed);
        addCompressed(feed);
    }
    addCompressed(QByteArray());
    // A gzip file of two members and trailing bytes, read as gzip -d reads it.
    addSeed("uncompress", char(1) + zlibStream("first member\n", true) + zlibStream("second member\n", true) + "tail");
    // Expands past the output limit.
    addSeed("uncompress", char(0) + zlibStream(QByteArray(17 * 1024 * 1024, '\0'), false));
    return failed ? 1 : 0;
}
