#include "Optimizer.h"
#include "SqliteFixture.h"
#include "TestBrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// Everything an Optimizer says, in order, as the GUI thread receives it.
class Recorder : public QObject
{
    Q_OBJECT
public:
    explicit Recorder(Optimizer* optimizer)
    {
        connect(
            optimizer, &Optimizer::logLine, this,
            [this](const QString& text, bool bold) { lines << (bold ? "B " : "  ") + text; }, Qt::QueuedConnection);
        connect(
            optimizer, &Optimizer::progressRangeChanged, this,
            [this](int kb) {
                ranges << kb;
                rangeAfterLines << lines.size();
            },
            Qt::QueuedConnection);
        connect(
            optimizer, &Optimizer::progressChanged, this, [this](int kb) { progress << kb; }, Qt::QueuedConnection);
        connect(
            optimizer, &Optimizer::finished, this,
            [this](bool cancelled, bool fatal) { finishes << qMakePair(cancelled, fatal); }, Qt::QueuedConnection);
    }

    QStringList lines;
    QList<int> ranges;
    QList<int> rangeAfterLines;
    QList<int> progress;
    QList<QPair<bool, bool>> finishes;
};

} // namespace

class TestOptimizer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoProfileRunLog();
    void oneProfileRunWritesOnlyTheTotal();
    void emptyListAndProfileWithoutDatabases();
    void lockedFileEndsTheRun();
    void stopDuringLongVacuum();
    void progressCountsWholeKibPerFile();
    void startDuringARunChangesNothing();
    void badFilesCostOneLineEach();

private:
    QString makeProfileFolder(const QString& name, const QStringList& databases, int rows = 600);
    QTemporaryDir m_dir;
};

void TestOptimizer::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestOptimizer::makeProfileFolder(const QString& name, const QStringList& databases, int rows)
{
    const QString folder = m_dir.filePath(name);
    QDir().mkpath(folder);
    for (const QString& db : databases) {
        if (!createBloatedDatabase(folder + "/" + db, rows, 1000, rows / 10))
            return {};
    }
    return folder;
}

static bool waitFor(Recorder& recorder)
{
    QElapsedTimer clock;
    clock.start();
    while (recorder.finishes.isEmpty() && clock.elapsed() < 120000)
        QTest::qWait(10);
    QTest::qWait(50); // nothing may follow finished()
    return !recorder.finishes.isEmpty();
}

void TestOptimizer::twoProfileRunLog()
{
    const QString f1 = makeProfileFolder("two-1", {"places.sqlite"});
    const QString f2 = makeProfileFolder("two-2", {"History"});
    TestBrowser browser("Firefox", "Mozilla");
    BrowserProfile* p1 = browser.addProfile("default", f1);
    BrowserProfile* p2 = browser.addProfile("work", f2);
    p2->title = "work (Bob)";
    const qint64 before1 = p1->totalSize();
    const qint64 before2 = p2->totalSize();

    Optimizer optimizer;
    Recorder recorder(&optimizer);
    optimizer.start({p1, p2});
    QVERIFY(optimizer.isRunning());
    QVERIFY(waitFor(recorder));
    QVERIFY(!optimizer.isRunning());

    const qint64 after1 = QFileInfo(f1 + "/places.sqlite").size();
    const qint64 after2 = QFileInfo(f2 + "/History").size();
    QVERIFY(after1 < before1 && after2 < before2);
    QCOMPARE(integrityCheck(f1 + "/places.sqlite"), QStringLiteral("ok"));
    QCOMPARE(integrityCheck(f2 + "/History"), QStringLiteral("ok"));

    const QStringList expected = {
        "B Starting optimization",
        "B Optimizing default",
        "  Path: " + QDir::toNativeSeparators(f1),
        "  places.sqlite...",
        QStringLiteral("  Optimized 1 files, new size: %1 (was %2)").arg(sizeText(after1), sizeText(before1)),
        "B Optimizing work (Bob)",
        "  Path: " + QDir::toNativeSeparators(f2),
        "  History...",
        QStringLiteral("  Optimized 1 files, new size: %1 (was %2)").arg(sizeText(after2), sizeText(before2)),
        QStringLiteral("  Total: optimized 2 files, new size: %1 (was %2)")
            .arg(sizeText(after1 + after2), sizeText(before1 + before2)),
    };
    QCOMPARE(recorder.lines.mid(0, expected.size()), expected);
    QCOMPARE(recorder.lines.size(), expected.size() + 1);
    QVERIFY2(QRegularExpression("^B Completed in \\d+\\.\\d\\d seconds$").match(recorder.lines.last()).hasMatch(),
             qPrintable(recorder.lines.last()));
    QCOMPARE(recorder.ranges, QList<int>{int((before1 + before2) / 1024)});
    QCOMPARE(recorder.rangeAfterLines, QList<int>{1});
    QCOMPARE(recorder.finishes, (QList<QPair<bool, bool>>{{false, false}}));
}

void TestOptimizer::oneProfileRunWritesOnlyTheTotal()
{
    const QString folder = makeProfileFolder("single", {"a.sqlite", "b.sqlite"});
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("Only", folder);
    const qint64 before = profile->totalSize();

    Optimizer optimizer;
    Recorder recorder(&optimizer);
    optimizer.start({profile});
    QVERIFY(waitFor(recorder));

    const qint64 after = profile->totalSize();
    QCOMPARE(recorder.lines.size(), 7);
    QCOMPARE(
        recorder.lines.mid(0, 6),
        (QStringList{
            "B Starting optimization",
            "B Optimizing Only",
            "  Path: " + QDir::toNativeSeparators(folder),
            "  a.sqlite...",
            "  b.sqlite...",
            QStringLiteral("  Total: optimized 2 files, new size: %1 (was %2)").arg(sizeText(after), sizeText(before)),
        }));
    QVERIFY(recorder.lines.last().startsWith("B Completed in "));
    QCOMPARE(recorder.finishes, (QList<QPair<bool, bool>>{{false, false}}));
}

void TestOptimizer::emptyListAndProfileWithoutDatabases()
{
    {
        Optimizer optimizer;
        Recorder recorder(&optimizer);
        optimizer.start({});
        QVERIFY(waitFor(recorder));
        QCOMPARE(recorder.lines.size(), 3);
        QCOMPARE(recorder.lines[0], QStringLiteral("B Starting optimization"));
        QCOMPARE(recorder.lines[1],
                 QStringLiteral("  Total: optimized 0 files, new size: %1 (was %1)").arg(sizeText(0)));
        QVERIFY(recorder.lines[2].startsWith("B Completed in "));
        QCOMPARE(recorder.ranges, QList<int>{0});
        QVERIFY(recorder.progress.isEmpty());
        QCOMPARE(recorder.finishes, (QList<QPair<bool, bool>>{{false, false}}));
    }

    const QString empty = makeProfileFolder("no-databases", {});
    const QString full = makeProfileFolder("with-database", {"c.sqlite"});
    TestBrowser browser;
    BrowserProfile* nothing = browser.addProfile("Nothing", empty);
    BrowserProfile* something = browser.addProfile("Something", full);
    Optimizer optimizer;
    Recorder recorder(&optimizer);
    optimizer.start({nothing, something});
    QVERIFY(waitFor(recorder));
    QCOMPARE(recorder.lines.mid(1, 4),
             (QStringList{
                 "B Optimizing Nothing",
                 "  Path: " + QDir::toNativeSeparators(empty),
                 "  No databases found in this profile",
                 QStringLiteral("  Optimized 0 files, new size: %1 (was %1)").arg(sizeText(0)),
             }));
    QCOMPARE(recorder.finishes, (QList<QPair<bool, bool>>{{false, false}}));
}

void TestOptimizer::lockedFileEndsTheRun()
{
    const QString f1 = makeProfileFolder("locked-1", {"a.sqlite", "b.sqlite"});
    const QString f2 = makeProfileFolder("locked-2", {"c.sqlite"});
    TestBrowser browser("Chrome", "Chromium");
    BrowserProfile* p1 = browser.addProfile("Default", f1);
    BrowserProfile* p2 = browser.addProfile("Profile 1", f2);
    const QByteArray hashA = fileHash(f1 + "/a.sqlite");
    const QByteArray hashB = fileHash(f1 + "/b.sqlite");
    const QByteArray hashC = fileHash(f2 + "/c.sqlite");
    const int kbA = int(QFileInfo(f1 + "/a.sqlite").size() / 1024);

    LockHolder lock(f1 + "/a.sqlite");
    QVERIFY(lock.isHolding());

    Optimizer optimizer;
    Recorder recorder(&optimizer);
    optimizer.start({p1, p2});
    QVERIFY(waitFor(recorder));
    lock.release();

    QCOMPARE(recorder.lines,
             (QStringList{
                 "B Starting optimization",
                 "B Optimizing Default",
                 "  Path: " + QDir::toNativeSeparators(f1),
                 "  a.sqlite...",
                 "  Error: the file is locked, Chrome seems to be still running",
                 "B Operation not completed",
             }));
    QCOMPARE(recorder.progress, QList<int>{kbA}); // the locked file still counts
    QCOMPARE(recorder.finishes, (QList<QPair<bool, bool>>{{false, true}}));
    QCOMPARE(fileHash(f1 + "/a.sqlite"), hashA);
    QCOMPARE(fileHash(f1 + "/b.sqlite"), hashB);
    QCOMPARE(fileHash(f2 + "/c.sqlite"), hashC);
}

void TestOptimizer::stopDuringLongVacuum()
{
    const QString folder = makeProfileFolder("long", {});
    QVERIFY(createBloatedDatabase(folder + "/big.sqlite", 40000, 1000, 20000));
    QVERIFY(createBloatedDatabase(folder + "/later.sqlite", 100, 1000, 10));
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("Long", folder);
    BrowserProfile* next = browser.addProfile("Next", makeProfileFolder("long-next", {"n.sqlite"}));
    const QByteArray bigBefore = fileHash(folder + "/big.sqlite");
    const QByteArray laterBefore = fileHash(folder + "/later.sqlite");

    Optimizer optimizer;
    // Asked for on the worker thread the moment it announces the big file, so
    // the stop arrives while that file's VACUUM is under way.
    connect(
        &optimizer, &Optimizer::logLine, &optimizer,
        [&optimizer](const QString& text) {
            if (text == QLatin1String("big.sqlite..."))
                optimizer.requestStop();
        },
        Qt::DirectConnection);
    Recorder recorder(&optimizer);
    optimizer.start({profile, next});
    QVERIFY(waitFor(recorder));

    QCOMPARE(recorder.lines.last(), QStringLiteral("B Operation terminated"));
    QCOMPARE(recorder.lines.at(recorder.lines.size() - 2), QStringLiteral("  big.sqlite..."));
    QVERIFY(recorder.progress.isEmpty());
    QCOMPARE(recorder.finishes, (QList<QPair<bool, bool>>{{true, false}}));
    QCOMPARE(fileHash(folder + "/big.sqlite"), bigBefore);
    QCOMPARE(fileHash(folder + "/later.sqlite"), laterBefore);
    QCOMPARE(integrityCheck(folder + "/big.sqlite"), QStringLiteral("ok"));

    // The next run starts afresh: the old stop request is forgotten.
    Recorder again(&optimizer);
    optimizer.start({next});
    QVERIFY(waitFor(again));
    QCOMPARE(again.finishes, (QList<QPair<bool, bool>>{{false, false}}));
}

void TestOptimizer::progressCountsWholeKibPerFile()
{
    const QString folder = makeProfileFolder("progress", {"one.sqlite", "two.sqlite", "three.sqlite"});
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("Progress", folder);
    QList<int> expected;
    int sum = 0;
    qint64 totalBytes = 0;
    for (const QString& file : profile->databases()) {
        sum += int(QFileInfo(file).size() / 1024);
        totalBytes += QFileInfo(file).size();
        expected << sum;
    }

    Optimizer optimizer;
    Recorder recorder(&optimizer);
    optimizer.start({profile});
    QVERIFY(waitFor(recorder));
    QCOMPARE(recorder.progress, expected);
    QCOMPARE(recorder.ranges, QList<int>{int(totalBytes / 1024)});
    QVERIFY(recorder.progress.last() <= recorder.ranges.first());
}

void TestOptimizer::startDuringARunChangesNothing()
{
    const QString folder = makeProfileFolder("busy-run", {});
    QVERIFY(createBloatedDatabase(folder + "/big.sqlite", 30000, 1000, 15000));
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("Running", folder);
    BrowserProfile* other = browser.addProfile("Other", makeProfileFolder("busy-other", {"o.sqlite"}));

    Optimizer optimizer;
    Recorder recorder(&optimizer);
    bool restartIgnored = false;
    connect(
        &optimizer, &Optimizer::logLine, &optimizer,
        [&](const QString& text) {
            if (text == QLatin1String("big.sqlite...")) {
                optimizer.requestStop();
                optimizer.start({other}); // must neither start a run nor clear the stop request
                restartIgnored = optimizer.isRunning();
            }
        },
        Qt::DirectConnection);
    optimizer.start({profile});
    QVERIFY(waitFor(recorder));

    QVERIFY(restartIgnored);
    QCOMPARE(recorder.finishes, (QList<QPair<bool, bool>>{{true, false}}));
    QVERIFY(!recorder.lines.join("\n").contains("Other"));
    QCOMPARE(recorder.lines.last(), QStringLiteral("B Operation terminated"));
}

void TestOptimizer::badFilesCostOneLineEach()
{
    const QString folder = makeProfileFolder("bad-files", {"good.sqlite"});
    QByteArray garbage("SQLite format 3", 16);
    garbage += QByteArray(3000, '\x11');
    QVERIFY(writeFile(folder + "/encrypted.db", garbage));
    QVERIFY(writeFile(folder + "/tiny.db", QByteArray("SQLite format 3", 16) + QByteArray(1007, '\x22')));
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("Mixed", folder);
    QCOMPARE(profile->databases().size(), 3);
    QVERIFY(QFile::remove(folder + "/good.sqlite")); // vanishes after it was listed

    Optimizer optimizer;
    Recorder recorder(&optimizer);
    optimizer.start({profile});
    QVERIFY(waitFor(recorder));

    QCOMPARE(recorder.lines.mid(3, 6),
             (QStringList{
                 "  encrypted.db...",
                 "  Warning: the file is encrypted or not a valid database",
                 "  good.sqlite...",
                 "  Error: the file no longer exists",
                 "  tiny.db...",
                 "  Warning: the file is encrypted or not a valid database",
             }));
    QVERIFY(!QFileInfo::exists(folder + "/good.sqlite"));
    QCOMPARE(recorder.progress, (QList<int>{2, 2, 2})); // 3016 bytes -> 2 KiB, gone -> 0, 1023 bytes -> 0
    QCOMPARE(recorder.finishes, (QList<QPair<bool, bool>>{{false, false}}));
    QVERIFY(recorder.lines.at(recorder.lines.size() - 2).startsWith("  Total: optimized 3 files"));
}

QTEST_GUILESS_MAIN(TestOptimizer)
#include "tst_Optimizer.moc"
