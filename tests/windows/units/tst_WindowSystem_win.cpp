// A GUI start on Windows: the program finds a window system and a window of
// its really appears on the desktop.
#include "WindowSystem.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

class TestWindowSystemWin : public QObject
{
    Q_OBJECT

private slots:
    void windowOpens();
};

void TestWindowSystemWin::windowOpens()
{
    QVERIFY(windowSystemAvailable());
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quorbilan window system test"));
    window.resize(320, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, 60000));
    QVERIFY(window.winId() != 0);
}

QTEST_MAIN(TestWindowSystemWin)
#include "tst_WindowSystem_win.moc"
