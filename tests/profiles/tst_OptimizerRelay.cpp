#include "Optimizer.h"
#include "OptimizerRelay.h"
#include "SqliteFixture.h"
#include "TestBrowser.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

// Every signal of a source, in the order this thread receives them.
class Sequence : public QObject
{
    Q_OBJECT
public:
    template <typename Source>
    explicit Sequence(Source* source, Qt::ConnectionType type)
    {
        connect(
            source, &Source::logLine, this,
            [this](const QString& text, bool bold) { events << (bold ? "B " : "  ") + text; }, type);
        connect(
            source, &Source::progressRangeChanged, this,
            [this](int kb) { events << QStringLiteral("range %1").arg(kb); }, type);
        connect(
            source, &Source::progressChanged, this, [this](int kb) { events << QStringLiteral("progress %1").arg(kb); },
            type);
        connect(
            source, &Source::finished, this,
            [this](bool cancelled, bool fatal) {
                events << QStringLiteral("finished %1 %2").arg(cancelled).arg(fatal);
                ++finishes;
            },
            type);
    }

    QStringList events;
    int finishes = 0;
};

} // namespace

class TestOptimizerRelay : public QObject
{
    Q_OBJECT

private slots:
    void batchesKeepOrderTextsAndValues();
    void finalLinesArriveWithFinished();

private:
    QTemporaryDir m_dir;
};

// Many small files, an empty profile and a bad file: the relay hands on
// exactly what the optimizer says, in the same order, also across a second
// run that its own finished() starts.
void TestOptimizerRelay::batchesKeepOrderTextsAndValues()
{
    const QString many = m_dir.filePath("many");
    QVERIFY(QDir().mkpath(many) && QDir().mkpath(m_dir.filePath("empty")));
    for (int i = 0; i < 40; ++i)
        QVERIFY(createBloatedDatabase(QStringLiteral("%1/db%2.sqlite").arg(many).arg(i, 2, 10, QLatin1Char('0')), 30,
                                      1000, 3));
    QVERIFY(writeFile(many + "/broken.sqlite", QByteArray("SQLite format 3", 16) + QByteArray(3000, '\x11')));
    TestBrowser browser;
    BrowserProfile* first = browser.addProfile("Many", many);
    BrowserProfile* empty = browser.addProfile("Empty", m_dir.filePath("empty"));

    Optimizer optimizer;
    Sequence direct(&optimizer, Qt::QueuedConnection);
    auto* relay = new OptimizerRelay(&optimizer);
    Sequence batched(relay, Qt::AutoConnection);
    bool restarted = false;
    connect(relay, &OptimizerRelay::finished, this, [&] {
        if (!restarted) {
            restarted = true;
            optimizer.start({empty, first}); // running is already clear
        }
    });
    optimizer.start({first, empty});
    QTRY_COMPARE_WITH_TIMEOUT(direct.finishes, 2, 120000);
    QTRY_COMPARE_WITH_TIMEOUT(batched.finishes, 2, 10000);

    QCOMPARE(batched.events, direct.events);
    QVERIFY(batched.events.contains("  db39.sqlite..."));
    QVERIFY(batched.events.contains("  Warning: the file is encrypted or not a valid database"));
    QCOMPARE(batched.events.filter("finished").size(), 2);
    QCOMPARE(batched.events.last(), "finished 0 0");
}

// The end of a run is not held back for the next tick: when finished() comes
// through the relay, every line before it has come too, and nothing follows.
void TestOptimizerRelay::finalLinesArriveWithFinished()
{
    const QString folder = m_dir.filePath("one");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(createBloatedDatabase(folder + "/one.sqlite", 50, 1000, 5));
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("One", folder);

    Optimizer optimizer;
    auto* relay = new OptimizerRelay(&optimizer);
    Sequence batched(relay, Qt::AutoConnection);
    QStringList atFinish;
    connect(relay, &OptimizerRelay::finished, this, [&] { atFinish = batched.events; });
    optimizer.start({profile});
    QTRY_COMPARE_WITH_TIMEOUT(batched.finishes, 1, 60000);
    QTest::qWait(2 * OptimizerRelay::intervalMs);

    QCOMPARE(batched.events, atFinish);
    QCOMPARE(atFinish.last(), "finished 0 0");
    QVERIFY(atFinish.at(atFinish.size() - 2).startsWith("B Completed in "));
    QCOMPARE(batched.events.first(), "B Starting optimization");
    QVERIFY(batched.events.at(1).startsWith("range "));
}

QTEST_GUILESS_MAIN(TestOptimizerRelay)
#include "tst_OptimizerRelay.moc"
