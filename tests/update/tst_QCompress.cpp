// The decompressor against fixtures made by the real encoders (python's gzip,
// zlib, bz2 and lzma modules), written by make_compress_fixtures.py.
#include "QCompress.h"
#include "ProcessMemory.h"
#include "QIODeviceFromPos.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace QCompress;

namespace {

// Records what the loops tell an observer.
class RecordingObserver : public StreamObserver
{
public:
    bool isCancelled() override { return cancelAfterReads >= 0 && reads >= cancelAfterReads; }
    void bytesRead(qint64 count) override
    {
        ++reads;
        totalRead += count;
    }
    void error(const char* message) override { errors << QString::fromUtf8(message); }

    int reads = 0;
    int cancelAfterReads = -1;
    qint64 totalRead = 0;
    QStringList errors;
};

// One data row per format, named after it.
void addFormatRows(std::initializer_list<int> formats)
{
    static const char* const names[] = {"zlib", "gzip", "bzip2", "lzma", "xz", "pbzx", "store"};
    QTest::addColumn<int>("format");
    for (int format : formats)
        QTest::newRow(names[format]) << format;
}

// The stream loop of a format over a copy of `packed`; the output goes to `out`.
qint64 runLoop(int format, const QByteArray& packed, QByteArray& out, StreamObserver* observer)
{
    QBuffer source;
    source.setData(packed);
    source.open(QIODevice::ReadOnly);
    QBuffer destination(&out);
    destination.open(QIODevice::WriteOnly);
    switch (format) {
    case Zlib:
    case Gzip:
        return inflateStream(&source, &destination, format == Gzip, observer);
    case Bzip2:
        return bzip2Stream(&source, &destination, observer);
    case Lzma:
        return lzmaStream(&source, &destination, observer);
    case Xz:
        return xzStream(&source, &destination, observer);
    case Pbzx:
        return pbzx_inflate_stream(&source, &destination, observer);
    case Store:
        return storeStream(&source, &destination, observer);
    }
    return -2;
}

} // namespace

class tst_QCompress : public QObject
{
    Q_OBJECT

private:
    QByteArray fixture(const QString& name)
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("missing fixture %s", qPrintable(name));
        return file.readAll();
    }

    QTemporaryDir dir;
    QByteArray payload;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QProcess python;
        python.start(QStringLiteral("python3"), {QStringLiteral(FIXTURE_SCRIPT), dir.path()});
        QVERIFY(python.waitForFinished(60000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        payload = fixture(QStringLiteral("payload"));
    }

    void roundTrip_data() { addFormatRows({Zlib, Gzip, Bzip2, Lzma, Xz, Store}); }

    void roundTrip()
    {
        QFETCH(int, format);
        const QByteArray packed = fixture(QStringLiteral("payload.%1").arg(format));
        QCOMPARE(uncompress(packed, format), payload);
        QVERIFY(uncompress(QByteArray(), format).isEmpty());

        // The loop reads from its source and reports every read.
        QByteArray out;
        RecordingObserver observer;
        const qint64 written = runLoop(format, packed, out, &observer);
        QCOMPARE(written, payload.size());
        QCOMPARE(out, payload);
        QCOMPARE(observer.totalRead, packed.size());
        QVERIFY(observer.errors.isEmpty());
    }

    void cancelledLoopStopsEarly()
    {
        QByteArray out;
        RecordingObserver observer;
        observer.cancelAfterReads = 2;
        const qint64 written = runLoop(Gzip, fixture(QStringLiteral("payload.1")), out, &observer);
        QCOMPARE(observer.reads, 2);
        QCOMPARE(written, out.size());
        QVERIFY(out.size() < payload.size());
        QVERIFY(payload.startsWith(out));
    }

    void formatMismatchAndUnknownCodes()
    {
        const QByteArray gz = fixture(QStringLiteral("payload.1"));
        QVERIFY(uncompress(gz, Zlib).isEmpty());
        QVERIFY(uncompress(gz, 7).isEmpty());
        QVERIFY(uncompress(gz, -1).isEmpty());
    }

    // Members one after the other read as one text, as gzip -d reads them;
    // what follows the last member without a gzip header is ignored.
    void gzipMembers_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("expected");
        // What the loop returns: the bytes written, or -1 for a broken member.
        QTest::addColumn<bool>("fails");

        const QByteArray both = "first member\nsecond member\n";
        QTest::newRow("two members") << "two-members.gz" << both << false;
        QTest::newRow("trailing garbage ignored") << "members-then-garbage.gz" << both << false;
        QTest::newRow("trailing zeros ignored") << "member-then-zeros.gz" << QByteArray("first member\n") << false;
        QTest::newRow("an empty member first") << "empty-member.gz" << QByteArray("second member\n") << false;
        const QByteArray straddling = fixture(QStringLiteral("straddling.payload"));
        QTest::newRow("magic across two reads") << "straddling-members.gz" << straddling << false;
        QTest::newRow("garbage across two reads")
            << "straddling-garbage.gz" << straddling.chopped(int(qstrlen("second member\n"))) << false;
        // A member cut short fails, as in gzip -d, keeping what was decoded.
        QTest::newRow("truncated second member") << "truncated-member.gz" << QByteArray() << true;
    }

    void gzipMembers()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, expected);
        QFETCH(bool, fails);
        const QByteArray packed = fixture(file);

        QByteArray out;
        RecordingObserver observer;
        const qint64 written = runLoop(Gzip, packed, out, &observer);
        if (fails) {
            QCOMPARE(written, qint64(-1));
            QVERIFY2(out.startsWith("first member\nsecond "), out.constData());
        } else {
            QCOMPARE(out, expected);
            QCOMPARE(written, expected.size());
            QCOMPARE(uncompress(packed, Gzip), expected);
        }
        // A zlib stream stands alone: nothing after its end is read.
        QCOMPARE(uncompress(fixture(QStringLiteral("payload.0")) + packed, Zlib), payload);
    }

    void xzDictionaryLimit()
    {
        RecordingObserver observer;
        QCOMPARE(uncompress(fixture(QStringLiteral("dict64.xz")), Xz, &observer), QByteArray("dictionary 64 MiB\n"));
        QVERIFY(observer.errors.isEmpty());
        QVERIFY(uncompress(fixture(QStringLiteral("dict96.xz")), Xz, &observer).isEmpty());
        QCOMPARE(observer.errors, QStringList{QStringLiteral("Memory usage limit reached\n")});
    }

    // .lzma has a memory limit too: a 1 GiB dictionary is refused.
    void lzmaDictionaryLimit()
    {
        QCOMPARE(uncompress(fixture(QStringLiteral("dict-small.lzma")), Lzma), QByteArray("large dictionary\n"));
        QByteArray out;
        QCOMPARE(runLoop(Lzma, fixture(QStringLiteral("dict1024.lzma")), out, nullptr), qint64(-1));
        QVERIFY(out.isEmpty());
    }

    void xzErrorTexts()
    {
        RecordingObserver observer;
        QVERIFY(uncompress(fixture(QStringLiteral("payload.1")), Xz, &observer).isEmpty());
        QCOMPARE(observer.errors, QStringList{QStringLiteral("Not a .xz file\n")});
    }

    // Every format stops at the cut with an error and keeps what it decoded.
    void truncatedStream_data() { addFormatRows({Zlib, Gzip, Bzip2, Lzma, Xz, Pbzx}); }

    void truncatedStream()
    {
        QFETCH(int, format);
        const QByteArray whole
            = format == Pbzx ? fixture(QStringLiteral("two.pbzx")) : fixture(QStringLiteral("payload.%1").arg(format));
        for (qsizetype cut : {qsizetype(1), qsizetype(13), whole.size() / 2, whole.size() - 1}) {
            QByteArray out;
            RecordingObserver observer;
            const qint64 written = runLoop(format, whole.left(cut), out, &observer);
            if (format == Xz)
                QVERIFY2(!observer.errors.isEmpty(), qPrintable(QString::number(cut)));
            else
                QVERIFY2(written == -1 || !observer.errors.isEmpty(), qPrintable(QString::number(cut)));
            QVERIFY(format == Pbzx || payload.startsWith(out));
            const QByteArray partial = uncompress(whole.left(cut), format);
            QVERIFY(format == Pbzx || payload.startsWith(partial));
        }
    }

    void pbzx_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<qint64>("result");
        QTest::addColumn<QStringList>("errors");
        const QByteArray part1 = QByteArray("compressed chunk of the container\n").repeated(100);
        const QByteArray part2("stored tail\n");
        const QStringList none;
        QTest::newRow("stored chunk") << "stored.pbzx" << part2 << qint64(part2.size()) << none;
        QTest::newRow("xz chunk") << "xz.pbzx" << part1 << qint64(part1.size()) << none;
        QTest::newRow("xz then stored") << "two.pbzx" << part1 + part2 << qint64(part1.size() + part2.size()) << none;
        QTest::newRow("no chunks") << "no-chunks.pbzx" << QByteArray() << qint64(0) << none;
        QTest::newRow("bad magic") << "bad-magic.pbzx" << QByteArray() << qint64(-1) << none;
        QTest::newRow("short header") << "short-header.pbzx" << QByteArray() << qint64(-1) << none;
        QTest::newRow("short chunk") << "short-chunk.pbzx" << QByteArray() << qint64(-1) << none;
        QTest::newRow("chunk not xz") << "bad-header.pbzx" << QByteArray() << qint64(0)
                                      << QStringList{"pbzx_inflate_stream: the header is not <FD>7zXZ<00>"};
        QTest::newRow("footer not YZ") << "bad-footer.pbzx" << part1 << qint64(part1.size())
                                       << QStringList{"pbzx_inflate_stream: the footer is not YZ"};
    }

    void pbzx()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, expected);
        QFETCH(qint64, result);
        QFETCH(QStringList, errors);
        const QByteArray packed = fixture(file);

        RecordingObserver observer;
        QCOMPARE(uncompress(packed, Pbzx, &observer), expected);
        QCOMPARE(observer.errors, errors);

        QByteArray out;
        QCOMPARE(runLoop(Pbzx, packed, out, nullptr), result);
    }

    void windowReadsWithoutMovingSource()
    {
        QBuffer source;
        source.setData("0123456789");
        source.open(QIODevice::ReadOnly);
        source.seek(7);
        QIODeviceFromPos window(&source, 2, 5);
        QCOMPARE(window.size(), qint64(5));
        QCOMPARE(window.readAll(), QByteArray("23456"));
        QCOMPARE(source.pos(), qint64(7));
        QVERIFY(window.seek(3));
        QCOMPARE(window.read(10), QByteArray("56"));
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QIODeviceFromPos): ReadOnly device");
        QCOMPARE(window.write("x"), qint64(-1));
        QCOMPARE(window.metaObject()->className(), "QIODeviceFromPos");
    }

    // A 1 GiB expansion stops at the cap: an empty result, the reason to the
    // observer, and memory bounded by the cap rather than the expansion.
    void bombIsCutAtTheCap_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("format");
        QTest::newRow("gzip") << "bomb.gz" << int(Gzip);
        QTest::newRow("xz") << "bomb.xz" << int(Xz);
    }

    void bombIsCutAtTheCap()
    {
        QFETCH(QString, file);
        QFETCH(int, format);
        const QByteArray bomb = fixture(file);
        const qint64 peakBefore = statusKiB("VmHWM");
        RecordingObserver observer;
        QVERIFY(uncompress(bomb, format, &observer).isEmpty());
        QVERIFY(observer.errors.contains(QStringLiteral("Output size limit reached\n")));
        QVERIFY(observer.totalRead < bomb.size());
        const qint64 grown = statusKiB("VmHWM") - peakBefore;
        QVERIFY2(grown < 256 * 1024, qPrintable(QString::number(grown)));

        // A smaller cap cuts the same way; none lets the whole stream through.
        QVERIFY(uncompress(bomb, format, &observer, 1024).isEmpty());
        QCOMPARE(uncompress(fixture(QStringLiteral("payload.%1").arg(format)), format, nullptr, -1), payload);
    }
};

QTEST_GUILESS_MAIN(tst_QCompress)
#include "tst_QCompress.moc"
