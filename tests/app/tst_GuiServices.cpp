#include "TestWorld.h"
#include "XdoTool.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

// The GUI start's services seen from outside: the real program under Xvfb, its
// main window captured from the X server as soon as it is mapped.
class TestGuiServices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstFrameFollowsTheSystemsLook_data();
    void firstFrameFollowsTheSystemsLook();
};

void TestGuiServices::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs an X display (ctest runs this under xvfb-run)");
    if (QStandardPaths::findExecutable("xdotool").isEmpty() || QStandardPaths::findExecutable("gsettings").isEmpty())
        QSKIP("needs xdotool and gsettings (scripts/setup.sh installs them)");
}

void TestGuiServices::firstFrameFollowsTheSystemsLook_data()
{
    QTest::addColumn<QByteArray>("scheme");
    QTest::addColumn<bool>("dark");
    QTest::newRow("dark") << QByteArray("prefer-dark") << true;
    QTest::newRow("light") << QByteArray("prefer-light") << false;
}

void TestGuiServices::firstFrameFollowsTheSystemsLook()
{
    QFETCH(QByteArray, scheme);
    QFETCH(bool, dark);
    QTemporaryDir world;
    QProcessEnvironment env = worldEnvironment(world.path());
    QDir().mkpath(world.filePath("runtime"));
    env.insert("XDG_RUNTIME_DIR", world.filePath("runtime"));
    env.insert("QT_QPA_PLATFORM", "xcb");
    // The system's setting from GSettings' keyfile backend; no session bus, so
    // no portal of the machine's desktop has a say.
    env.insert("GSETTINGS_BACKEND", "keyfile");
    env.insert("GSETTINGS_SCHEMA_DIR", "/usr/share/glib-2.0/schemas");
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + world.filePath("no-session-bus"));
    QDir().mkpath(world.filePath("config/glib-2.0/settings"));
    QFile keyfile(world.filePath("config/glib-2.0/settings/keyfile"));
    QVERIFY(keyfile.open(QIODevice::WriteOnly));
    keyfile.write("[org/gnome/desktop/interface]\ncolor-scheme='" + scheme + "'\n");
    keyfile.close();

    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QUORBILAN_EXE, QStringList{});
    QVERIFY(program.waitForStarted());
    const QString window = xdotool({"search", "--sync", "--onlyvisible", "--pid", QString::number(program.processId()),
                                    "--name", "^Quorbilan "})
                               .split('\n')
                               .value(0);
    // The window is mapped before the program paints it: until then X shows
    // it black. The first colour it takes is the one that counts.
    QColor background;
    const bool painted = QTest::qWaitFor(
        [&] {
            const QImage frame = QGuiApplication::primaryScreen()->grabWindow(window.toULongLong()).toImage();
            if (frame.isNull())
                return false;
            // The window's own background, just inside its bottom-left corner.
            background = frame.pixelColor(2, frame.height() - 3);
            return background != QColor(Qt::black);
        },
        60000);
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(60000));
    QVERIFY2(painted, "the window was never painted");
    if (dark)
        QCOMPARE(background, QColor(45, 45, 45));
    else
        QVERIFY2(background.lightness() > 180, qPrintable(background.name()));
}

QTEST_MAIN(TestGuiServices)

#include "tst_GuiServices.moc"
