#pragma once

#include <QByteArray>
#include <QString>

namespace TestSupport {
class ProgramFixture;
}

namespace Fuzz {

// The real-layout tree of every supported program, made once per process in a
// temporary folder (removed at exit), with LOCALAPPDATA, APPDATA, HOME and the
// XDG folders pointing into it.
TestSupport::ProgramFixture& world();

// Qt's warnings on odd inputs (a NUL in a file name, ...) would flood the
// fuzzer's output and slow it down; qFatal still aborts.
void silenceQtMessages();

// Replaces the file's content; aborts when it cannot, since every later
// input would then test nothing.
void writeWholeFile(const QString& path, const QByteArray& content);

[[noreturn]] void fail(const char* file, int line, const char* condition);

} // namespace Fuzz

// An invariant of the code under test: a broken one is a finding like a crash.
#define FUZZ_CHECK(condition)                             \
    do {                                                  \
        if (!(condition))                                 \
            ::Fuzz::fail(__FILE__, __LINE__, #condition); \
    } while (false)
