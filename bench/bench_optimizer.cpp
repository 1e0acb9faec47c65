// Benchmark driver for the compaction engine. The shell script beside it
// builds the fixture, runs the raw sqlite3 baseline and calls these modes:
//
//   bench_optimizer make DIR COUNT MIB   COUNT bloated databases of about MIB each
//   bench_optimizer optimize DIR...      compact every database of the DIRs through
//                                        Optimizer, one profile per DIR
//   bench_optimizer stop DIR DELAY_MS    start a run, request a stop DELAY_MS after the
//                                        first file begins, report the stop latency
#include "BrowserProfile.h"
#include "Optimizer.h"
#include "SqliteFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

long peakRssKib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int makeFixture(const QString& dir, int count, int mib)
{
    QDir().mkpath(dir);
    // Rows of 4000 bytes; two thirds are deleted again, leaving free pages.
    const int rows = mib * 1024 * 1024 / 4000;
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/db%2.sqlite").arg(dir).arg(i, 2, 10, QLatin1Char('0'));
        if (!TestSupport::createBloatedDatabase(path, rows, 4000, rows / 3)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

int runOptimizer(const QStringList& dirs, int stopDelayMs)
{
    std::vector<std::unique_ptr<BrowserProfile>> profiles;
    std::vector<BrowserProfile*> runList;
    for (const QString& dir : dirs) {
        profiles.push_back(std::make_unique<BrowserProfile>(QString(), QStringLiteral("bench"), dir));
        runList.push_back(profiles.back().get());
    }
    Optimizer optimizer;
    QElapsedTimer clock;
    QElapsedTimer stopClock;
    qint64 stopLatencyMs = -1;
    bool stopArmed = stopDelayMs >= 0;

    QObject::connect(
        &optimizer, &Optimizer::logLine, &optimizer,
        [&](const QString& text) {
            if (stopArmed && text.endsWith(QLatin1String("..."))) {
                stopArmed = false;
                QTimer::singleShot(stopDelayMs, qApp, [&] {
                    stopClock.start();
                    optimizer.requestStop();
                });
            }
        },
        Qt::QueuedConnection);
    QObject::connect(
        &optimizer, &Optimizer::finished, qApp,
        [&](bool cancelled, bool fatal) {
            if (stopClock.isValid())
                stopLatencyMs = stopClock.elapsed();
            std::printf("elapsed_ms %lld\n", static_cast<long long>(clock.elapsed()));
            std::printf("cancelled %d fatal %d\n", cancelled, fatal);
            if (stopLatencyMs >= 0)
                std::printf("stop_latency_ms %lld\n", static_cast<long long>(stopLatencyMs));
            qApp->quit();
        },
        Qt::QueuedConnection);

    clock.start();
    optimizer.start(runList);
    QCoreApplication::exec();
    std::printf("peak_rss_kib %ld\n", peakRssKib());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("make"))
        return makeFixture(args[2], args[3].toInt(), args[4].toInt());
    if (args.size() >= 3 && args[1] == QLatin1String("optimize"))
        return runOptimizer(args.mid(2), -1);
    if (args.size() == 4 && args[1] == QLatin1String("stop"))
        return runOptimizer({args[2]}, args[3].toInt());
    std::fprintf(stderr, "usage: bench_optimizer make DIR COUNT MIB | optimize DIR... | stop DIR DELAY_MS\n");
    return 2;
}
