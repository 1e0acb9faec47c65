#include "GuiStart.h"
#include "IsolatedTestMain.h"
#include "MainWindowDriver.h"
#include "OtherUser.h"
#include "ProcessSignals.h"
#include "ProgramFixture.h"
#include "QuorbilanApp.h"
#include "SqliteFixture.h"

#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

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
    void simultaneousStartsMakeOneServer();
    void staleLockOfACrashedStartIsTakenOver();
    void otherUsersFilesDoNotStopTheStart_data();
    void otherUsersFilesDoNotStopTheStart();
    void startWithoutDisplaySaysSo_data();
    void startWithoutDisplaySaysSo();

private:
    std::unique_ptr<ProgramFixture> fixture;
};

namespace {

// Starts the real program as the user does, in the environment given.
int startProgram(const QStringList& arguments,
                 const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
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
        QTRY_VERIFY_WITH_TIMEOUT(window->isMinimized(), 60000);
        QCOMPARE(startProgram({}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(starts.size(), round, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isMinimized(), 60000);
        QVERIFY(window->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 60000);
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
    QTRY_COMPARE_WITH_TIMEOUT(starts.size(), 1, 60000);
}

void TestGuiStart::guiRunsUntilItsWindowCloses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no arguments") << QStringList{};
    QTest::newRow("a -psn argument") << QStringList{"-psn_0_4711"};
    // The toolkit's own options make no console run.
    QTest::newRow("-reverse") << QStringList{"-reverse"};
    QTest::newRow("-style fusion") << QStringList{"-style", "fusion"};
    QTest::newRow("-style=fusion") << QStringList{"-style=fusion"};
    QTest::newRow("-stylesheet=") << QStringList{"-stylesheet=none.qss"};
    QTest::newRow("-session abc") << QStringList{"-session", "abc"};
    QTest::newRow("-widgetcount") << QStringList{"-widgetcount"};
    QTest::newRow("-qwindowtitle T") << QStringList{"-qwindowtitle", "T"};
}

void TestGuiStart::guiRunsUntilItsWindowCloses()
{
    QFETCH(QStringList, arguments);
    // A world of its own, so that this instance is the first one there.
    QTemporaryDir world;
    QProcessEnvironment env = worldEnvironment(world.path());
    env.insert("LOCALAPPDATA", fixture->localAppData());
    env.insert("APPDATA", fixture->appData());
    const QString socket = singleInstanceSocketIn(world.path());

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

    // The end of the session closes the window; the loop's result is the exit
    // code. Early in a start, before the program handles SIGTERM, the
    // signal's default action ends it at once, with nothing yet to keep.
    QVERIFY(QTest::qWaitFor([&] { return catchesSignal(first.processId(), SIGTERM); }, 60000));
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

void TestGuiStart::simultaneousStartsMakeOneServer()
{
    // However the two starts interleave, one serves and the other hands over.
    for (int round = 1; round <= 20; ++round) {
        QTemporaryDir world;
        const QProcessEnvironment env = worldEnvironment(world.path());
        QProcess a;
        QProcess b;
        for (QProcess* program : {&a, &b}) {
            program->setProcessEnvironment(env);
            program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        }
        // Both spin until the gate file appears and then become the
        // program, at the same moment.
        const QString gate = world.filePath("gate");
        const QString script = QStringLiteral("while [ ! -e \"$1\" ]; do :; done; exec \"$2\"");
        for (QProcess* program : {&a, &b})
            program->start("/bin/sh", {"-c", script, "sh", gate, QUORBILAN_EXE});
        QVERIFY(a.waitForStarted() && b.waitForStarted());
        QVERIFY(writeFile(gate, QByteArray()));

        QTRY_VERIFY_WITH_TIMEOUT(a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning, 30000);
        QProcess& gone = a.state() == QProcess::NotRunning ? a : b;
        QProcess& server = &gone == &a ? b : a;
        QCOMPARE(gone.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gone.exitCode(), 0);
        // The one left serves: a third start hands over to it.
        QCOMPARE(startProgram({}, env), 0);
        QVERIFY2(server.state() == QProcess::Running, qPrintable(QString("round %1").arg(round)));

        // It may not have reached its event loop yet; its end is not what is tested.
        server.kill();
        QVERIFY(server.waitForFinished(60000));
    }
}

void TestGuiStart::staleLockOfACrashedStartIsTakenOver()
{
    QTemporaryDir world;
    const QProcessEnvironment env = worldEnvironment(world.path());
    const QString lockPath = singleInstanceSocketIn(world.path()) + ".lock";
    // A start that died while it held the lock: the file names a process
    // that is gone.
    const pid_t crashed = ::fork();
    if (crashed == 0) {
        QLockFile lock(lockPath);
        ::_exit(lock.tryLock(0) ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(crashed, &status, 0), crashed);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(QFileInfo::exists(lockPath));

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(QUORBILAN_EXE, QStringList{});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(singleInstanceSocketIn(world.path())), 60000);
    // It took the lock over and gave it back once it served.
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(lockPath), 60000);
    QCOMPARE(startProgram({}, env), 0);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    QVERIFY(first.waitForFinished(60000));
}

void TestGuiStart::otherUsersFilesDoNotStopTheStart_data()
{
    QTest::addColumn<QString>("planted");
    QTest::newRow("another user's listener") << "listener";
    QTest::newRow("another user's fifo as the lock") << "fifo";
    QTest::newRow("another user's directory") << "directory";
}

void TestGuiStart::otherUsersFilesDoNotStopTheStart()
{
    QFETCH(QString, planted);
    if (!OtherUser::available())
        QSKIP("needs root to act as the user nobody");
    // A temp folder shared with another user, as /tmp is, and no runtime
    // folder: what the other user leaves there under the program's name.
    QTemporaryDir world(QStringLiteral("/tmp/tst_GuiStart-XXXXXX"));
    const QString shared = OtherUser::makeSharedFolder(world.path());
    QVERIFY(!shared.isEmpty());
    QProcessEnvironment env = worldEnvironment(world.path());
    env.insert("TMPDIR", shared);
    env.remove("XDG_RUNTIME_DIR");
    const QString name = shared + "/quorbilan_single_instance";
    std::unique_ptr<OtherUser::Listener> listener;
    if (planted == "listener") {
        listener = std::make_unique<OtherUser::Listener>(name);
        QVERIFY(listener->listening);
    } else if (planted == "fifo") {
        QVERIFY(OtherUser::run({"mkfifo", name + ".lock"}));
    } else {
        QVERIFY(OtherUser::run({"mkdir", name}));
    }

    // The program starts, runs on and serves from a folder of its own user.
    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(QUORBILAN_EXE, QStringList{});
    QVERIFY(first.waitForStarted());
    const QString socket
        = QString("%1/quorbilan_single_instance-%2/quorbilan_single_instance").arg(shared).arg(::geteuid());
    QTRY_VERIFY_WITH_TIMEOUT(first.state() != QProcess::Running || QFileInfo::exists(socket), 60000);
    QVERIFY2(first.state() == QProcess::Running,
             qPrintable(QString("the program ended with exit code %1").arg(first.exitCode())));
    // A later start still hands over to it.
    QCOMPARE(startProgram({}, env), 0);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    QVERIFY(first.waitForFinished(60000));
}

void TestGuiStart::startWithoutDisplaySaysSo_data()
{
    QTest::addColumn<QString>("platform"); // empty: not set
    QTest::newRow("no platform chosen") << QString();
    QTest::newRow("xcb") << "xcb";
    QTest::newRow("wayland") << "wayland";
    QTest::newRow("wayland, then xcb") << "wayland;xcb";
}

void TestGuiStart::startWithoutDisplaySaysSo()
{
    QFETCH(QString, platform);
    QTemporaryDir world;
    QProcessEnvironment env = worldEnvironment(world.path());
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    if (!platform.isEmpty())
        env.insert("QT_QPA_PLATFORM", platform);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QUORBILAN_EXE, QStringList{});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(program.readAllStandardError(), QByteArray("Quorbilan: cannot open a window: no display\n"));
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestGuiStart, QuorbilanApp>(argc, argv, AppArguments::None);
}

#include "tst_GuiStart.moc"
