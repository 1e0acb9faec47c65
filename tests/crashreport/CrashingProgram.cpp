// A program that installs the crash handler and then crashes as it is told:
// "worker" dereferences null on a worker thread; "terminate" lets an exception
// escape a worker thread; "twice" dereferences null and, once the
// file second.go appears in the current folder, crashes a second thread too
// (after writing second.crashing). Its report mode is the real one.
#include "CrashHandler.h"
#include "CrashReportBox.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

int* volatile nowhere = nullptr;

// Unchecked, so that the fault is a real SIGSEGV in instrumented builds too;
// exported, so that the dump's backtrace names it.
__attribute__((noinline, no_sanitize("address", "undefined"))) void dereferenceNull()
{
    *nowhere = 1;
}

int main(int argc, char** argv)
{
    if (isCrashReportRun(argc, argv))
        return runCrashReport(argc, argv);

    CrashHandler::setAppName(L"CrashTest");
    CrashHandler::setAppVersion(L"1.2.3.4");
    CrashHandler::setSupportEmail(L"reports@example.org");
    CrashHandler::install();

    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "worker") == 0) {
        std::thread(dereferenceNull).join();
    } else if (std::strcmp(mode, "terminate") == 0) {
        std::thread([] { throw std::runtime_error("escaped"); }).join();
    } else if (std::strcmp(mode, "twice") == 0) {
        std::thread second([] {
            while (access("second.go", F_OK) != 0)
                usleep(10000);
            std::ofstream("second.crashing") << "now\n";
            dereferenceNull();
        });
        std::thread(dereferenceNull).join();
        second.join();
    }
    return 0;
}
