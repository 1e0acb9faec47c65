// The dark-mode watcher on Windows: a change of the user's app setting reaches
// the GUI thread through the notification object, other values under the key
// say nothing, and the watcher's worker may use Qt's per-thread state, which
// has to be torn down soundly each time a worker ends.
#include "QSystemNotification.h"
#include "PersonalizeSetting.h"
#include "WindowsDarkModeWatcher.h"

#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <windows.h>

#include <atomic>

namespace {

bool setAppsDark(bool dark)
{
    return setPersonalizeValue(L"AppsUseLightTheme", dark ? 0 : 1);
}

} // namespace

class TestDarkModeWatcherWin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void changesReachTheGuiThread();
    void workersEndCleanlyAfterUsingQtPerThreadState();
};

void TestDarkModeWatcherWin::init()
{
    QVERIFY(setAppsDark(false));
}

void TestDarkModeWatcherWin::changesReachTheGuiThread()
{
    QSystemNotification notification(nullptr);
    int changes = 0;
    bool onGuiThread = true;
    // Connecting starts the watcher.
    connect(&notification, &QSystemNotification::darkModeChanged, this, [&] {
        ++changes;
        onGuiThread = onGuiThread && QThread::currentThread() == thread();
    });

    QVERIFY(setAppsDark(true));
    QTRY_COMPARE_WITH_TIMEOUT(changes, 1, 60000);
    // Another value, then the setting written again unchanged, then a real
    // change: only the last one counts, and it comes after the others.
    QVERIFY(setPersonalizeValue(L"ColorPrevalence", 1));
    QVERIFY(setAppsDark(true));
    QVERIFY(setAppsDark(false));
    QTRY_COMPARE_WITH_TIMEOUT(changes, 2, 60000);
    QVERIFY(setAppsDark(true));
    QTRY_COMPARE_WITH_TIMEOUT(changes, 3, 60000);
    QCOMPARE(changes, 3);
    QVERIFY(onGuiThread);
}

// A receiver connected directly runs on the worker. A regular expression there
// gives the worker Qt's per-thread match stack, a thread_local object of
// Qt6Core with a destructor that runs as the worker ends, after every start.
void TestDarkModeWatcherWin::workersEndCleanlyAfterUsingQtPerThreadState()
{
    for (int round = 1; round <= 8; ++round) {
        std::atomic<int> matches{0};
        {
            System::WindowsDarkModeWatcher watcher;
            connect(
                &watcher, &System::WindowsDarkModeWatcher::darkModeChanged, &watcher,
                [&] {
                    static const QRegularExpression version(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+)$"));
                    if (version.match(QStringLiteral("10.0.%1").arg(round)).hasMatch())
                        ++matches;
                },
                Qt::DirectConnection);
            watcher.start();
            QVERIFY(watcher.isRunning());
            QVERIFY(setAppsDark(round % 2 == 1));
            QTRY_COMPARE_WITH_TIMEOUT(matches.load(), 1, 60000);
        }
        // The worker has ended with the watcher; the process is still here.
        QCOMPARE(matches.load(), 1);
    }
}

QTEST_GUILESS_MAIN(TestDarkModeWatcherWin)
#include "tst_DarkModeWatcher_win.moc"
