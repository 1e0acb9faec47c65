// Benchmark driver for profile discovery. The shell script beside it calls:
//
//   bench_discovery make DIR PROFILES DATABASES   all thirty programs, PROFILES profiles
//                                                 each, DATABASES extra databases per profile
//   bench_discovery discover DIR ROUNDS           the loader's whole discovery over DIR and
//                                                 the profiles' sizes,
//                                                 against a raw loop reading the first 16
//                                                 bytes of the same files, interleaved over
//                                                 ROUNDS rounds
#include "BrowsersList.h"
#include "ProgramFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

// Bytes this process has read through read(2) and friends so far.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

qint64 median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What the discovery examines: every file directly in each profile folder.
QStringList examinedFiles(const BrowsersList& list)
{
    QStringList files;
    for (const BrowserProfile* profile : list.allProfiles()) {
        const QDir folder(profile->path);
        for (const QString& name : folder.entryList(QDir::Files | QDir::NoDotAndDotDot))
            files << folder.filePath(name);
    }
    return files;
}

// The baseline: open, read 16 bytes, close, nothing else.
int rawHeaderReads(const QStringList& files)
{
    int databases = 0;
    char header[16];
    for (const QString& file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        if (::read(fd, header, sizeof header) == 16 && std::equal(header, header + 16, "SQLite format 3"))
            ++databases;
        ::close(fd);
    }
    return databases;
}

int discover(const QString& dir, int rounds)
{
    TestSupport::ProgramFixture fixture(dir);
    fixture.setEnvironment();

    std::vector<qint64> discoveryNs;
    std::vector<qint64> rawNs;
    QStringList files;
    int profiles = 0;
    int databases = 0;
    qint64 discoveryBytes = 0;
    qint64 totalBytes = 0;
    // The two sides take turns going first; the ratio is taken per round.
    std::vector<double> ratios;
    for (int round = 0; round < std::max(1, rounds); ++round) {
        QElapsedTimer clock;
        qint64 rawTime = -1;
        if (round % 2 && !files.isEmpty()) {
            clock.start();
            rawHeaderReads(files);
            rawTime = clock.nsecsElapsed();
        }

        const qint64 before = bytesRead();
        clock.start();
        BrowsersList list;
        list.reloadAll();
        list.loadDatabaseLists();
        // What the profiles tree and `/list` show next: each profile's size.
        qint64 bytes = 0;
        for (BrowserProfile* profile : list.allProfiles())
            bytes += profile->totalSize();
        discoveryNs.push_back(clock.nsecsElapsed());
        discoveryBytes = bytesRead() - before;
        totalBytes = bytes;

        if (files.isEmpty()) {
            files = examinedFiles(list);
            profiles = int(list.allProfiles().size());
            for (const BrowserProfile* profile : list.allProfiles())
                databases += int(profile->databaseFiles.size());
        }
        if (rawTime < 0) {
            clock.restart();
            const int rawDatabases = rawHeaderReads(files);
            rawTime = clock.nsecsElapsed();
            if (rawDatabases != databases)
                std::fprintf(stderr, "note: raw loop found %d databases, discovery %d\n", rawDatabases, databases);
        }
        rawNs.push_back(rawTime);
        ratios.push_back(double(discoveryNs.back()) / double(rawTime));
    }
    std::sort(ratios.begin(), ratios.end());

    const double discoveryMs = median(discoveryNs) / 1e6;
    const double rawMs = median(rawNs) / 1e6;
    std::printf("profiles %d\n", profiles);
    std::printf("files_examined %lld\n", static_cast<long long>(files.size()));
    std::printf("databases %d\n", databases);
    std::printf("database_bytes %lld\n", static_cast<long long>(totalBytes));
    std::printf("discovery_ms %.2f\n", discoveryMs);
    std::printf("raw_header_reads_ms %.2f\n", rawMs);
    std::printf("ratio_median %.2f\n", ratios[ratios.size() / 2]);
    std::printf("ratio_min %.2f\n", ratios.front());
    std::printf("ratio_max %.2f\n", ratios.back());
    std::printf("files_per_second %.0f\n", files.size() / (discoveryMs / 1000.0));
    std::printf("raw_files_per_second %.0f\n", files.size() / (rawMs / 1000.0));
    // Includes the profile lists ("profiles.ini", "Local State") and menu entries.
    std::printf("bytes_read_per_file %.1f\n", double(discoveryBytes) / std::max<qsizetype>(1, files.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("make")) {
        TestSupport::ProgramFixture fixture(args[2]);
        return fixture.buildLargeTree(args[3].toInt(), args[4].toInt()) ? 0 : 1;
    }
    if (args.size() == 4 && args[1] == QLatin1String("discover"))
        return discover(args[2], args[3].toInt());
    std::fprintf(stderr, "usage: bench_discovery make DIR PROFILES DATABASES | discover DIR ROUNDS\n");
    return 2;
}
