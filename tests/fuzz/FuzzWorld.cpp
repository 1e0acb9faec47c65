#include "FuzzWorld.h"

#include "ProgramFixture.h"
#include "TestWorld.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace Fuzz {

TestSupport::ProgramFixture& world()
{
    // Removed at a normal exit; a crash leaves it for inspection.
    static TestSupport::ProgramFixture fixture;
    static const bool built = [] {
        isolateWorld(fixture.root());
        if (!fixture.buildStandardTree()) {
            std::fprintf(stderr, "cannot build the program tree in %s\n", qPrintable(fixture.root()));
            std::abort();
        }
        return true;
    }();
    Q_UNUSED(built);
    return fixture;
}

void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

void writeWholeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

void fail(const char* file, int line, const char* condition)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

} // namespace Fuzz

// What ASan keeps for itself counts against the fuzzer's memory limit. Its
// quarantine of freed blocks is 256 MiB by default. And Qt is built without
// frame pointers: past an allocation's first Qt frame the fast unwinder reads
// stack garbage, so nearly every allocation stack is new, and ASan keeps each
// one for good (500 bytes an input, 512 MiB within ten minutes). Two frames
// are always real; for deeper ones replay a finding with
// ASAN_OPTIONS=malloc_context_size=30:fast_unwind_on_malloc=0.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=32:malloc_context_size=2";
}
