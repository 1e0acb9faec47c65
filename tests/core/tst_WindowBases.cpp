#include "GuiChild.h"
#include "IsolatedTestMain.h"
#include "QDialogEx.h"
#include "QMainWindowEx.h"
#include "TestWorld.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TestWindowBases : public QObject
{
    Q_OBJECT

private slots:
    void closingWorkRunsOnce_data();
    void closingWorkRunsOnce();
    void terminationSignalClosesOnce_data();
    void terminationSignalClosesOnce();
    void dialogHasNoHelpButton();
    void mainWindowAnswersForItsMixIns();
};

void TestWindowBases::closingWorkRunsOnce_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("user close, then quit") << "close-then-quit" << QStringList{"onClose", "closed", "exit"};
    QTest::newRow("quit alone") << "quit" << QStringList{"onClose", "exit"};
    QTest::newRow("two session-end calls") << "quit-twice" << QStringList{"onClose", "exit"};
    // Hiding is not closing: the work waits for the quit.
    QTest::newRow("hide on close, then quit")
        << "hide-then-quit" << QStringList{"hidden", "not visible", "onClose", "exit"};
}

void TestWindowBases::closingWorkRunsOnce()
{
    QFETCH(QString, scenario);
    QFETCH(QStringList, expected);
    GuiChild child;
    QVERIFY(child.start({"window", scenario}));
    QVERIFY(child.finish());
    QCOMPARE(child.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.process.exitCode(), 0);
    QCOMPARE(child.lines, expected);
}

void TestWindowBases::terminationSignalClosesOnce_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("SIGTERM") << "signal" << int(SIGTERM) << QStringList{"ready", "onClose", "exit"};
    QTest::newRow("SIGHUP") << "signal" << int(SIGHUP) << QStringList{"ready", "onClose", "exit"};
    QTest::newRow("SIGTERM during a modal box")
        << "signal-modal" << int(SIGTERM) << QStringList{"ready", "onClose", "box closed", "exit"};
}

void TestWindowBases::terminationSignalClosesOnce()
{
    QFETCH(QString, scenario);
    QFETCH(int, signalNumber);
    QFETCH(QStringList, expected);
    GuiChild child;
    QVERIFY(child.start({"window", scenario}));
    QVERIFY(child.waitForLine("ready"));
    QCOMPARE(::kill(pid_t(child.process.processId()), signalNumber), 0);
    QVERIFY(child.finish());
    // The signal was handled, not fatal: the closing work ran and main returned.
    QCOMPARE(child.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.process.exitCode(), 0);
    QCOMPARE(child.lines, expected);
}

void TestWindowBases::dialogHasNoHelpButton()
{
    QDialogEx dialog(nullptr, Qt::Dialog | Qt::WindowContextHelpButtonHint | Qt::WindowTitleHint);
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowTitleHint));
    QDialogEx plain;
    QVERIFY(!plain.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
}

void TestWindowBases::mainWindowAnswersForItsMixIns()
{
    QMainWindowEx window;
    QVERIFY(window.qt_metacast("WinDarkMode") == static_cast<WinDarkMode*>(&window));
    QVERIFY(window.qt_metacast("CmdWClosable") == static_cast<CmdWClosable*>(&window));
    QVERIFY(!window.quitting);
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestWindowBases>(argc, argv);
}

#include "tst_WindowBases.moc"
