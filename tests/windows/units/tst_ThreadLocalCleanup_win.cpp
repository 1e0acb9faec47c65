// Threads that end after using thread_local objects registered with the C++
// runtime DLL, as the toolkit's DLLs register theirs: each is destroyed while
// the thread's storage is still there, so a thread's end neither faults nor
// leaves the threads library's key lock held for the runtime's unload, for the
// program's worker threads and plain ones alike.
#include "WorkerThread.h"

#include <QRegularExpression>
#include <QTest>

#include <pthread.h>
#include <windows.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<int> accessViolations{0};

// Set on the thread; read back by a destructor registered with the runtime
// DLL. Read after the thread's storage is gone, it is a new one, still 0.
thread_local int storageMarker = 0;
std::atomic<int> markerSeenByDestructor{-1};

void readMarker(void*)
{
    markerSeenByDestructor = storageMarker;
}

// The C++ runtime DLL's registration of a thread_local destructor, the one
// Qt6Core imports (the test's own code would get its startup code's copy).
bool registerWithRuntime(void (*destructor)(void*))
{
    using ThreadAtExit = int (*)(void (*)(void*), void*, void*);
    const HMODULE runtime = GetModuleHandleW(L"libstdc++-6.dll");
    const auto threadAtExit = runtime
        ? reinterpret_cast<ThreadAtExit>(reinterpret_cast<void*>(GetProcAddress(runtime, "__cxa_thread_atexit")))
        : nullptr;
    return threadAtExit && threadAtExit(destructor, nullptr, nullptr) == 0;
}

// Sees every fault first, also one the loader swallows during a thread's end.
LONG CALLBACK countAccessViolations(EXCEPTION_POINTERS* exception)
{
    if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
        ++accessViolations;
    return EXCEPTION_CONTINUE_SEARCH;
}

// Qt's match stack is a thread_local object of Qt6Core, made by the first
// compiled match on a thread.
bool matchOnThisThread(int round)
{
    static const QRegularExpression version(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+)$"));
    return version.match(QStringLiteral("10.0.%1").arg(round)).hasMatch();
}

// A handle of the calling thread that is signalled once it has wholly ended.
HANDLE currentThreadHandle()
{
    HANDLE handle = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle, SYNCHRONIZE, FALSE, 0);
    return handle;
}

// What the C++ runtime does as it unloads.
DWORD WINAPI makeAndDeleteKey(void*)
{
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0)
        return 1;
    return pthread_key_delete(key) == 0 ? 0 : 2;
}

} // namespace

class TestThreadLocalCleanupWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void threadsEndCleanlyAfterUsingQtThreadLocals_data();
    void threadsEndCleanlyAfterUsingQtThreadLocals();
};

void TestThreadLocalCleanupWin::initTestCase()
{
    // The platform layer, linked in, has ordered the cleanups before any
    // static initializer: nothing here calls it.
    QVERIFY(AddVectoredExceptionHandler(1, countAccessViolations));
}

void TestThreadLocalCleanupWin::threadsEndCleanlyAfterUsingQtThreadLocals_data()
{
    QTest::addColumn<bool>("workerThread");
    QTest::newRow("worker thread") << true;
    QTest::newRow("std::thread") << false;
}

void TestThreadLocalCleanupWin::threadsEndCleanlyAfterUsingQtThreadLocals()
{
    QFETCH(bool, workerThread);
    const int faultsBefore = accessViolations.load();
    // Qt's object read from freed memory faults on most ends, not on every
    // one: several rounds make one certain; the marker shows it every time.
    for (int round = 1; round <= 16; ++round) {
        HANDLE ended = nullptr;
        bool matched = false;
        bool registered = false;
        markerSeenByDestructor = -1;
        const auto job = [&] {
            ended = currentThreadHandle();
            storageMarker = round;
            registered = registerWithRuntime(readMarker);
            matched = matchOnThisThread(round);
        };
        if (workerThread) {
            startWorkerThread(job).wait();
        } else {
            std::thread thread(job);
            thread.join();
        }
        QVERIFY(ended);
        QCOMPARE(WaitForSingleObject(ended, 60000), WAIT_OBJECT_0);
        CloseHandle(ended);
        QVERIFY(matched);
        QVERIFY(registered);
        QCOMPARE(markerSeenByDestructor.load(), round);
    }
    QCOMPARE(accessViolations.load(), faultsBefore);

    // A key lock left held by a faulted end would stop this for good.
    HANDLE keys = CreateThread(nullptr, 0, makeAndDeleteKey, nullptr, 0, nullptr);
    QVERIFY(keys);
    const DWORD waited = WaitForSingleObject(keys, 60000);
    DWORD exitCode = 1;
    GetExitCodeThread(keys, &exitCode);
    CloseHandle(keys);
    QCOMPARE(waited, DWORD(WAIT_OBJECT_0));
    QCOMPARE(exitCode, DWORD(0));
}

QTEST_GUILESS_MAIN(TestThreadLocalCleanupWin)
#include "tst_ThreadLocalCleanup_win.moc"
