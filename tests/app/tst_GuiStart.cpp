#include "GuiStart.h"
#include "MainWindowDriver.h"
#include "ProgramFixture.h"
#include "QuorbilanApp.h"
#include "RunGuiTest.h"

#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace TestSupport;

class TestGuiStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void laterStartsBringTheWindowForward();
    void windowGoesWithItsConnection();
    void guiRunsUntilItsWindowCloses_data();
    void guiRunsUntilItsWindowCloses();

private:
    std::unique_ptr<ProgramFixture> fixture;
};

namespace {

// Starts the real program as the user does, in the environment given.
int startProgram(const QStringList& arguments, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QUORBILAN_EXE, arguments);
    if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
        return -1;
    return program.exitCode();
}

} // namespace

void TestGuiStart::initTestCase()
{
    fixture = std::make_unique<ProgramFixture>(qEnvironmentVariable("HOME") + "/programs");
    QVERIFY(fixture->buildStandardTree());
    fixture->setEnvironment();
}

void TestGuiStart::laterStartsBringTheWindowForward()
{
    auto* app = QuorbilanApp::instance();
    QVERIFY(!app->anotherInstanceRunning);
    std::unique_ptr<MainWindow> window = createMainWindow(*app);
    MainWindowDriver w{window.get()};
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(w.loaded(), 60000);
    const int groups = w.tree()->topLevelItemCount();
    QSignalSpy starts(app, &QApplicationExSingle::anotherInstanceStarted);

    // Each start finds the window minimised and leaves it restored and active.
    for (int round = 1; round <= 3; ++round) {
        window->showMinimized();
        QTRY_VERIFY(window->isMinimized());
        QCOMPARE(startProgram({}), 0);
        QTRY_COMPARE(starts.size(), round);
        QTRY_VERIFY(!window->isMinimized());
        QVERIFY(window->isVisible());
        QTRY_VERIFY(window->isActiveWindow());
    }

    // Nothing else changed in this instance.
    QCOMPARE(w.tree()->topLevelItemCount(), groups);
    QCOMPARE(w.pages()->currentWidget(), w.tree());
    int windows = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        windows += widget->isVisible() ? 1 : 0;
    QCOMPARE(windows, 1);
}

void TestGuiStart::windowGoesWithItsConnection()
{
    // After its window is gone a later start reaches the server and harms nothing.
    auto* app = QuorbilanApp::instance();
    createMainWindow(*app).reset();
    QSignalSpy starts(app, &QApplicationExSingle::anotherInstanceStarted);
    QCOMPARE(startProgram({}), 0);
    QTRY_COMPARE(starts.size(), 1);
}

void TestGuiStart::guiRunsUntilItsWindowCloses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no arguments") << QStringList{};
    QTest::newRow("a -psn argument") << QStringList{"-psn_0_4711"};
}

void TestGuiStart::guiRunsUntilItsWindowCloses()
{
    QFETCH(QStringList, arguments);
    // A world of its own, so that this instance is the first one there.
    QTemporaryDir world;
    QProcessEnvironment env = worldEnvironment(world.path());
    env.insert("LOCALAPPDATA", fixture->localAppData());
    env.insert("APPDATA", fixture->appData());
    const QString socket = world.filePath("tmp/quorbilan_single_instance");

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(QUORBILAN_EXE, arguments);
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 60000);

    // A second start hands over and ends; the first runs on.
    QCOMPARE(startProgram({}, env), 0);
    QVERIFY(!first.waitForFinished(300));
    QCOMPARE(first.state(), QProcess::Running);

    // The end of the session closes the window; the loop's result is the exit code.
    ::kill(pid_t(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(first.readAllStandardOutput(), QByteArray());

    // Its close saved the window and the whole list of ticks.
    QSettings stored(settingsFileIn(world.path()), QSettings::IniFormat);
    QVERIFY(!stored.value("WindowGeometry").toByteArray().isEmpty());
    QVERIFY(!stored.value("WindowState").toByteArray().isEmpty());
    QStringList expected;
    for (const ExpectedProfile& profile : fixture->expected())
        expected << profile.path;
    QStringList selected = stored.value("SelectedProfiles").toStringList();
    selected.sort(Qt::CaseInsensitive);
    expected.sort(Qt::CaseInsensitive);
    QCOMPARE(selected, expected);
}

int main(int argc, char** argv)
{
    return runGuiTest<TestGuiStart>(argc, argv);
}

#include "tst_GuiStart.moc"
