#include "CrashHandler.h"
#include "FakeMailPrograms.h"
#include "ProcessSignals.h"
#include "ProgramFixture.h"
#include "SmallDisk.h"
#include "ReportMail.h"
#include "TestWorld.h"
#include "XdoTool.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Real crashes: the program and a test program crash under Xvfb, the report box
// is answered with xdotool, the mail goes to a recording xdg-email.
class TestCrashRuns : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void guiRunHitBySigsegvReportsIt();
    void crashThatBreaksTheUnwinderIsReported_data();
    void crashThatBreaksTheUnwinderIsReported();
    void workerThreadCrashSendsTheReport_data();
    void workerThreadCrashSendsTheReport();
    void mailProgramDoesNotHoldTheCrashedProgram();
    void escapedExceptionIsReported();
    void selfRaisedAbortIsNoSender_data();
    void selfRaisedAbortIsNoSender();
    void takenDumpNamesAreNeverOpened_data();
    void takenDumpNamesAreNeverOpened();
    void folderThatCannotTakeTheDumpLeavesItInTheTempFolder_data();
    void folderThatCannotTakeTheDumpLeavesItInTheTempFolder();
    void readOnlyFolderOfAnotherUserLeavesTheDumpInTheTempFolder();
    void secondCrashIsNotReportedAgain();
    void otherSignalWhileTheBoxIsOpen();
    void unwritableFoldersGiveNoDumpAndNoBox();
    void fullDiskGivesNoDumpAndNoBox_data();
    void fullDiskGivesNoDumpAndNoBox();
    void consoleRunInstallsNoHandler_data();
    void consoleRunInstallsNoHandler();

private:
    QProcessEnvironment environment() const;
    // environment() with LOCALAPPDATA and APPDATA in a tree of every supported
    // program; empty when the tree cannot be built.
    QProcessEnvironment environmentWithProfiles() const;
    // Starts the crashing test program in the current folder and waits for its
    // one report box; its window id.
    QString startCrash(QProcess& program, const QString& mode);
    // Starts the program itself in the current folder, its crash handler installed.
    bool startProgram(QProcess& program, const QProcessEnvironment& env);
    // Starts the program in the current folder with the crash hooks preloaded
    // and waits for its one report box; its window id. Discovery lists the
    // profiles' folders on a pool thread, where the hooks strike as `mode` says.
    QString startHookedCrash(QProcess& program, const QString& mode);
    QStringList dumps() const;
    QString dumpText() const;
    // The user's temporary folder of the crashing process (TMPDIR).
    QString tempFolder() const;

    std::unique_ptr<QTemporaryDir> world;
    std::unique_ptr<FakeMailPrograms> fakes;
    QString folder; // the crashing process's current folder
};

namespace {

const QString reportTitle = "Quorbilan - Unhandled Exception";
const QString crashTestTitle = "CrashTest - Unhandled Exception";
// How a crashed program ends once its report box is answered.
const QString reportedEnd = "exit code 1";

// The ids of the windows with exactly this title, once one is on screen: a
// window that exists but is not yet mapped cannot take the focus, and keys
// sent to it are lost.
QStringList waitForWindows(const QString& title)
{
    const QString ids
        = xdotool({"search", "--sync", "--onlyvisible", "--name", "^" + QRegularExpression::escape(title) + "$"});
    return ids.split('\n', Qt::SkipEmptyParts);
}

// The id of the one window with this title, once it is on screen; empty when
// there are none or several.
QString onlyWindow(const QString& title)
{
    const QStringList windows = waitForWindows(title);
    if (windows.size() != 1)
        qWarning("%lld windows titled \"%s\", not one", qlonglong(windows.size()), qPrintable(title));
    return windows.size() == 1 ? windows[0] : QString();
}

// Sends SIGSEGV to the started program's main thread; the id of its one
// report box. To the thread itself: a signal sent to the process may land on
// any of its threads (a busy machine showed the X reader's).
QString crashMainThread(QProcess& program)
{
    const pid_t pid = pid_t(program.processId());
    if (::tgkill(pid, pid, SIGSEGV) != 0) {
        qWarning("tgkill: %s", strerror(errno));
        return {};
    }
    return onlyWindow(reportTitle);
}

// Waits up to a minute for the program to end; how it ended: "exit code N",
// "killed by signal N" or "still running".
QString ending(QProcess& program)
{
    if (!program.waitForFinished(60000))
        return "still running";
    return QString(program.exitStatus() == QProcess::NormalExit ? "exit code %1" : "killed by signal %1")
        .arg(program.exitCode());
}

// A process-directed signal has been taken by a thread, or waits because
// every thread blocks it.
bool signalTakenOrBlocked(qint64 pid, int signal)
{
    if (!hasSignal(statusMask(QString("/proc/%1/status").arg(pid), "ShdPnd"), signal))
        return true;
    const QStringList threads = QDir(QString("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& thread : threads) {
        if (!hasSignal(statusMask(QString("/proc/%1/task/%2/status").arg(pid).arg(thread), "SigBlk"), signal))
            return false;
    }
    return true;
}

bool isAlive(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const int state = text.lastIndexOf(')') + 2;
    return state > 1 && state < text.size() && text[state] != 'Z';
}

// The build id the linker wrote into the executable.
QString buildIdOf(const QString& executable)
{
    QProcess readelf;
    readelf.start("readelf", {"-n", executable});
    readelf.waitForFinished(60000);
    const QRegularExpressionMatch match
        = QRegularExpression(R"(Build ID: ([0-9a-f]+))").match(QString::fromUtf8(readelf.readAllStandardOutput()));
    return match.captured(1);
}

// The dump name of a crash of the program at that second, in that variant.
QString programDumpName(qint64 second, int variant)
{
    char name[2048];
    const QByteArray winver = QString::fromStdWString(winverString()).toUtf8();
    if (!formatDumpName(name, sizeof name, "quorbilan", QUORBILAN_PROJECT_VERSION, winver.constData(),
                        crashTimeFromEpoch(second), variant))
        return {};
    return QString::fromUtf8(name);
}

// The regular files named *.dmp in a folder, links and FIFOs left out.
QStringList regularDumps(const QString& folder)
{
    QStringList found;
    for (const QString& name : QDir(folder).entryList({"*.dmp"}, QDir::AllEntries | QDir::System | QDir::Hidden)) {
        struct stat status
        {
        };
        if (::lstat(QFile::encodeName(folder + "/" + name).constData(), &status) == 0 && S_ISREG(status.st_mode))
            found << name;
    }
    return found;
}

// Whether a file is what was planted there: a link to target, or a FIFO.
bool stillPlanted(const QString& path, const QString& kind, const QString& target)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    if (kind == "fifo")
        return S_ISFIFO(status.st_mode);
    return S_ISLNK(status.st_mode) && QFile::symLinkTarget(path) == target;
}

// Send is the default button; Tab moves to Cancel.
void answer(const QString& window, bool send)
{
    xdotool(QStringList{"windowfocus", "--sync", window, "key", "--delay", "100"}
            + (send ? QStringList{"Return"} : QStringList{"Tab", "space"}));
}

} // namespace

void TestCrashRuns::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (ctest runs this under xvfb-run)");
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        QSKIP("needs xdotool (scripts/setup.sh installs it)");
}

void TestCrashRuns::init()
{
    world = std::make_unique<QTemporaryDir>();
    fakes = std::make_unique<FakeMailPrograms>(world->filePath("bin"));
    folder = world->filePath("cwd");
    QDir().mkpath(folder);
}

// A failed case can leave a report box open in a process of its own; it must
// not stand in the next case's way.
void TestCrashRuns::cleanup()
{
    const QString boxes = "Unhandled Exception";
    for (const QString& window : xdotool({"search", "--name", boxes}).split('\n', Qt::SkipEmptyParts)) {
        const qint64 pid = xdotool({"getwindowpid", window}).toLongLong();
        if (pid > 0)
            ::kill(pid_t(pid), SIGKILL);
    }
    QTRY_VERIFY_WITH_TIMEOUT(xdotool({"search", "--name", boxes}).isEmpty(), 60000);
}

QProcessEnvironment TestCrashRuns::environment() const
{
    QProcessEnvironment env = worldEnvironment(world->path());
    QDir().mkpath(world->filePath("runtime"));
    env.insert("XDG_RUNTIME_DIR", world->filePath("runtime"));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("PATH", fakes->path());
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    // The sanitizer's own fault handlers would hide whether the program has one.
    // Nor may its alternate signal stacks, which it gives every thread, stand
    // in for the program's own; the preloaded test hooks come before it.
    env.insert("ASAN_OPTIONS",
               "detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:"
               "use_sigaltstack=0:verify_asan_link_order=0");
    return env;
}

bool TestCrashRuns::startProgram(QProcess& program, const QProcessEnvironment& env)
{
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder);
    program.start(QUORBILAN_EXE, QStringList{});
    if (!program.waitForStarted())
        return false;
    return QTest::qWaitFor([&] { return catchesSignal(program.processId(), SIGSEGV); }, 60000);
}

QProcessEnvironment TestCrashRuns::environmentWithProfiles() const
{
    TestSupport::ProgramFixture fixture(world->filePath("programs"));
    if (!fixture.buildStandardTree()) {
        qWarning("cannot build the programs' tree");
        return {};
    }
    QProcessEnvironment env = environment();
    env.insert("LOCALAPPDATA", fixture.localAppData());
    env.insert("APPDATA", fixture.appData());
    return env;
}

QString TestCrashRuns::startHookedCrash(QProcess& program, const QString& mode)
{
    QProcessEnvironment env = environmentWithProfiles();
    if (env.isEmpty())
        return {};
    env.insert("LD_PRELOAD", CRASH_HOOKS);
    env.insert("QUORBILAN_TEST_CRASH", mode);
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder);
    program.start(QUORBILAN_EXE, QStringList{});
    return onlyWindow(reportTitle);
}

QString TestCrashRuns::startCrash(QProcess& program, const QString& mode)
{
    program.setProcessEnvironment(environment());
    program.setWorkingDirectory(folder);
    program.start(CRASHING_PROGRAM, {mode});
    return onlyWindow(crashTestTitle);
}

QStringList TestCrashRuns::dumps() const
{
    return QDir(folder).entryList({"*.dmp"}, QDir::Files);
}

QString TestCrashRuns::tempFolder() const
{
    return world->filePath("tmp");
}

QString TestCrashRuns::dumpText() const
{
    QFile dump(QDir(folder).filePath(dumps().value(0)));
    dump.open(QIODevice::ReadOnly);
    return QString::fromUtf8(dump.readAll());
}

void TestCrashRuns::guiRunHitBySigsegvReportsIt()
{
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    QProcess program;
    QVERIFY(startProgram(program, environment()));
    QVERIFY(catchesSignal(program.processId(), SIGABRT));

    // The frames asserted below are the main thread's.
    const QString box = crashMainThread(program);
    QVERIFY(!box.isEmpty());
    QCOMPARE(program.state(), QProcess::Running);
    answer(box, false);
    QCOMPARE(ending(program), reportedEnd);
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    // <exe>_<version>_<system>_<Y>-<M>-<D>_<h>.<m>.<s>.dmp, of the crash's time in UTC.
    QCOMPARE(dumps().size(), 1);
    const QString winver = QString::fromStdWString(winverString());
    const QRegularExpression name("^quorbilan_" + QRegularExpression::escape(QUORBILAN_PROJECT_VERSION) + "_"
                                  + QRegularExpression::escape(winver)
                                  + R"(_(\d{4})-([1-9]\d?)-([1-9]\d?)_(\d{1,2})\.(\d{1,2})\.(\d{1,2})\.dmp$)");
    const QRegularExpressionMatch match = name.match(dumps()[0]);
    QVERIFY2(match.hasMatch(), qPrintable(dumps()[0]));
    const QDateTime stamp(QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt()),
                          QTime(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt()),
                          Qt::UTC);
    QVERIFY2(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after, qPrintable(stamp.toString()));

    const QString text = dumpText();
    QVERIFY(text.startsWith("Quorbilan " QUORBILAN_PROJECT_VERSION " crash dump\n"));
    QVERIFY(text.contains("Signal: 11 (SIGSEGV), code " + QString::number(SI_TKILL) + "\n"));
    // A signal from another process names it; its pid is no fault address.
    QVERIFY2(text.contains(
                 QString("\nSent by process: %1 (user %2)\n").arg(QCoreApplication::applicationPid()).arg(getuid())),
             qPrintable(text.left(400)));
    QVERIFY(!text.contains("Fault address"));
    const QString buildId = buildIdOf(QUORBILAN_EXE);
    QVERIFY(!buildId.isEmpty());
    QVERIFY(text.contains("\nBuild id: " + buildId + "\n"));
    QVERIFY(text.contains("Memory map:\n"));
    QVERIFY(text.contains(QRegularExpression("\n  rip 0x[0-9a-f]{16}\n")));
    // The program's own frames by name: the signal came while the window waited.
    const QString backtrace = text.mid(text.indexOf("\nBacktrace:\n"));
    QVERIFY2(backtrace.contains("quorbilan(main+0x"), qPrintable(backtrace));
    QVERIFY2(backtrace.contains(QRegularExpression(R"(quorbilan\(_Z6runGui\w*\+0x)")), qPrintable(backtrace));

    // Cancel sends nothing.
    QCOMPARE(fakes->calls("xdg-email").size(), 0);
    QCOMPARE(fakes->calls("xdg-open").size(), 0);
}

void TestCrashRuns::crashThatBreaksTheUnwinderIsReported_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("expected");
    // A call through a dangling pointer: the unwinder faults reading the code
    // at the wild address.
    QTest::newRow("wild jump on a pool thread") << "wild"
                                                << "Fault address: 0x00000000dead0000\n.*\n  rip 0x00000000dead0000\n.*"
                                                   "Backtrace:\n  \\(cut short: reading the stack faulted\\)\n$";
    // A thread without a signal stack of its own dies unreported.
    QTest::newRow("stack overflow on a pool thread") << "overflow"
                                                     << "Backtrace:\n.*crash_hooks.*\n$";
}

void TestCrashRuns::crashThatBreaksTheUnwinderIsReported()
{
    QFETCH(QString, mode);
    QFETCH(QString, expected);
    QProcess program;
    const QString box = startHookedCrash(program, mode);
    QVERIFY(!box.isEmpty());
    answer(box, false);
    QCOMPARE(ending(program), reportedEnd);

    QCOMPARE(dumps().size(), 1);
    const QString text = dumpText();
    QVERIFY(text.contains("Signal: 11 (SIGSEGV), code "));
    QVERIFY(text.contains("Memory map:\n"));
    QVERIFY2(text.contains(QRegularExpression(expected, QRegularExpression::DotMatchesEverythingOption)),
             qPrintable(text.mid(text.indexOf("Backtrace:"))));
}

void TestCrashRuns::workerThreadCrashSendsTheReport_data()
{
    QTest::addColumn<int>("emailExit");
    QTest::newRow("xdg-email takes it") << 0;
    // The link cannot carry the dump: its text asks for the file instead.
    QTest::newRow("xdg-email fails: mailto link") << 3;
}

void TestCrashRuns::workerThreadCrashSendsTheReport()
{
    QFETCH(int, emailExit);
    fakes->setExitCode("xdg-email", emailExit);
    QProcess program;
    const QString box = startCrash(program, "worker");
    QVERIFY(!box.isEmpty());
    answer(box, true);
    QCOMPARE(ending(program), reportedEnd);

    QCOMPARE(dumps().size(), 1);
    const QString dump = QDir(folder).filePath(dumps()[0]);
    QVERIFY(dumps()[0].startsWith("crashing_program_1.2.3.4_"));
    const QString text = dumpText();
    QVERIFY(text.contains("Signal: 11 (SIGSEGV), code 1\n"));
    QVERIFY(text.contains("Fault address: 0x0000000000000000\n"));
    QVERIFY(text.contains("dereferenceNull"));

    // The mail goes out from a process of its own, after the crashed one ended.
    const QString winver = QString::fromStdWString(winverString());
    const QString body = expectedReportBody("CrashTest", dump, winver);
    QTRY_COMPARE_WITH_TIMEOUT(fakes->calls("xdg-email").size(), 1, 30000);
    QCOMPARE(fakes->calls("xdg-email")[0],
             QStringList({"--subject", "CrashTest 1.2.3.4 Bug Report", "--body", body, "--attach", dump,
                          "reports@example.org"}));
    if (emailExit == 0) {
        QCOMPARE(fakes->calls("xdg-open").size(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(fakes->calls("xdg-open").size(), 1, 30000);
    QCOMPARE(fakes->calls("xdg-open")[0],
             QStringList{QString::fromStdWString(
                 mailtoLink(L"reports@example.org", L"CrashTest 1.2.3.4 Bug Report",
                            expectedReportBodyToAttach("CrashTest", dump, winver).toStdWString()))});
}

void TestCrashRuns::mailProgramDoesNotHoldTheCrashedProgram()
{
    // xdg-email stays as long as the mail program it starts.
    fakes->setSleep("xdg-email", 20);
    QProcess program;
    QVERIFY(startProgram(program, environment()));
    ::kill(pid_t(program.processId()), SIGSEGV);
    const QString box = onlyWindow(reportTitle);
    QVERIFY(!box.isEmpty());
    QElapsedTimer sinceSend;
    sinceSend.start();
    answer(box, true);
    QCOMPARE(ending(program), reportedEnd);
    const qint64 ended = sinceSend.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(fakes->lastPid("xdg-email") != 0, 30000);
    const qint64 mailPid = fakes->lastPid("xdg-email");
    // Ended while the mail program is still open.
    QVERIFY(isAlive(mailPid));
    qInfo("the crashed program ended %lld ms after Send", ended);

    // A new start is a first instance again and shows its window.
    QProcess again;
    again.setProcessEnvironment(environment());
    again.setWorkingDirectory(folder);
    again.start(QUORBILAN_EXE, QStringList{});
    QVERIFY(again.waitForStarted());
    const QStringList mainWindows
        = waitForWindows("Quorbilan " + QString(QUORBILAN_PROJECT_VERSION).section('.', 0, 2));
    QCOMPARE(mainWindows.size(), 1);
    QCOMPARE(again.state(), QProcess::Running);
    again.kill();
    again.waitForFinished(60000);
    ::kill(pid_t(mailPid), SIGKILL);
}

void TestCrashRuns::escapedExceptionIsReported()
{
    QProcess program;
    const QString box = startCrash(program, "terminate");
    QVERIFY(!box.isEmpty());
    answer(box, false);
    QCOMPARE(ending(program), reportedEnd);
    QCOMPARE(dumps().size(), 1);
    const QString text = dumpText();
    QVERIFY(text.contains("Signal: 6 (SIGABRT)"));
    QVERIFY(text.contains("Reason: std::terminate\n"));
    QVERIFY2(text.contains("\nRaised by: the program itself\n"), qPrintable(text.left(400)));
    QVERIFY(!text.contains("Sent by process"));
    QCOMPARE(fakes->calls("xdg-email").size(), 0);
}

void TestCrashRuns::selfRaisedAbortIsNoSender_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("abort() on a pool thread") << "abort";
    QTest::newRow("qFatal on a pool thread") << "qfatal";
}

void TestCrashRuns::selfRaisedAbortIsNoSender()
{
    QFETCH(QString, mode);
    QProcess program;
    const QString box = startHookedCrash(program, mode);
    QVERIFY(!box.isEmpty());
    answer(box, false);
    QCOMPARE(ending(program), reportedEnd);

    QCOMPARE(dumps().size(), 1);
    const QString text = dumpText();
    // abort() sends the signal to its own thread: no other process, no address.
    QVERIFY2(text.contains("Signal: 6 (SIGABRT), code " + QString::number(SI_TKILL) + "\n"),
             qPrintable(text.left(400)));
    QVERIFY2(text.contains("\nRaised by: the program itself\n"), qPrintable(text.left(400)));
    QVERIFY(!text.contains("Sent by process"));
    QVERIFY(!text.contains("Fault address"));
    QVERIFY(text.contains("crash_hooks"));
}

void TestCrashRuns::takenDumpNamesAreNeverOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("taken");
    // A dump written through it would replace the user's file, and the box
    // would offer that for mailing.
    QTest::newRow("link to the user's file") << "link" << 1;
    // Opening it would block the crashed program for good.
    QTest::newRow("FIFO") << "fifo" << 1;
    QTest::newRow("links under every variant") << "link" << int(dumpNameVariants);
}

void TestCrashRuns::takenDumpNamesAreNeverOpened()
{
    QFETCH(QString, kind);
    QFETCH(int, taken);
    const QString victim = world->filePath("precious.txt");
    const QByteArray precious = "the user's own file\n";
    {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(precious);
    }
    QProcess program;
    QVERIFY(startProgram(program, environment()));

    // The coming names, a second apart, for far longer than a busy machine
    // takes to deliver the crash.
    const qint64 from = QDateTime::currentSecsSinceEpoch() - 1;
    const qint64 to = from + 600;
    QStringList planted;
    for (qint64 second = from; second <= to; ++second) {
        for (int variant = 1; variant <= taken; ++variant) {
            const QString path = QDir(folder).filePath(programDumpName(second, variant));
            const QByteArray name = QFile::encodeName(path);
            if (kind == "fifo")
                QCOMPARE(::mkfifo(name.constData(), 0644), 0);
            else
                QCOMPARE(::symlink(QFile::encodeName(victim).constData(), name.constData()), 0);
            planted << path;
        }
    }
    const QString box = crashMainThread(program);
    QVERIFY(!box.isEmpty());
    answer(box, false);
    QCOMPARE(ending(program), reportedEnd);
    const qint64 after = QDateTime::currentSecsSinceEpoch();

    QFile file(victim);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), precious);
    for (const QString& path : planted)
        QVERIFY2(stillPlanted(path, kind, victim), qPrintable(path));
    // The next free name of the crash's second; the temporary folder once all
    // are taken.
    const bool inFolder = taken < dumpNameVariants;
    const QStringList written = regularDumps(inFolder ? folder : tempFolder());
    QCOMPARE(written.size(), 1);
    QCOMPARE(regularDumps(inFolder ? tempFolder() : folder), QStringList());
    bool named = false;
    for (qint64 second = from; second <= after && !named; ++second)
        named = written[0] == programDumpName(second, inFolder ? taken + 1 : 1);
    QVERIFY2(named, qPrintable(written[0]));
    QFile dump(QDir(inFolder ? folder : tempFolder()).filePath(written[0]));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QVERIFY(dump.readAll().startsWith("Quorbilan " QUORBILAN_PROJECT_VERSION " crash dump\n"));
    QCOMPARE(dump.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
}

void TestCrashRuns::folderThatCannotTakeTheDumpLeavesItInTheTempFolder_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("current folder deleted") << "deleted";
    // Not even root can make a file there.
    QTest::newRow("current folder /proc") << "proc";
    QTest::newRow("path longer than the buffer") << "deep";
    QTest::newRow("full disk") << "full";
}

void TestCrashRuns::folderThatCannotTakeTheDumpLeavesItInTheTempFolder()
{
    QFETCH(QString, where);
    std::unique_ptr<SmallDisk> disk;
    if (where == "proc") {
        folder = "/proc";
    } else if (where == "deep") {
        while (folder.size() < 2100) {
            folder += "/" + QString(200, 'd');
            QVERIFY(QDir().mkpath(folder));
        }
    } else if (where == "full") {
        disk = std::make_unique<SmallDisk>(world->filePath("disk"), "256k");
        if (!disk->error().isEmpty())
            QSKIP(qPrintable("cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN): " + disk->error()));
        QVERIFY(disk->fill(16384));
        folder = world->filePath("disk");
    }
    QProcess program;
    QVERIFY(startProgram(program, environment()));
    if (where == "deleted")
        QVERIFY(QDir(folder).removeRecursively());
    const QString box = crashMainThread(program);
    QVERIFY(!box.isEmpty());
    answer(box, false);
    QCOMPARE(ending(program), reportedEnd);

    const QStringList written = regularDumps(tempFolder());
    QCOMPARE(written.size(), 1);
    QVERIFY2(written[0].startsWith("quorbilan_" QUORBILAN_PROJECT_VERSION "_"), qPrintable(written[0]));
    QFile dump(QDir(tempFolder()).filePath(written[0]));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    const QByteArray text = dump.readAll();
    QVERIFY(text.startsWith("Quorbilan " QUORBILAN_PROJECT_VERSION " crash dump\n"));
    QVERIFY(text.contains("\nBacktrace:\n"));
    QCOMPARE(regularDumps(folder), QStringList());
}

void TestCrashRuns::readOnlyFolderOfAnotherUserLeavesTheDumpInTheTempFolder()
{
    // Root writes anywhere: the crash runs as nobody.
    QStringList command{CRASHING_PROGRAM, "worker"};
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty() || !nobody)
            QSKIP("running as root without setpriv or a user nobody: cannot drop to another user to test a "
                  "read-only folder");
        command = QStringList{setpriv, "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"} + command;
    }
    // In the system's temporary folder: the other user cannot reach into this
    // test's private world.
    QTemporaryDir shared(QStringLiteral("/tmp/tst_CrashRuns-XXXXXX"));
    const QFile::Permissions readable
        = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(shared.path(), readable | QFile::WriteOwner));
    const QString locked = shared.filePath("locked");
    const QString temp = shared.filePath("tmp");
    const QString runtime = shared.filePath("runtime");
    QVERIFY(QDir().mkdir(locked));
    QVERIFY(QFile::setPermissions(locked, readable));
    for (const QString& own : {temp, runtime}) {
        QVERIFY(QDir().mkdir(own));
        QVERIFY(QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        if (::geteuid() == 0)
            QCOMPARE(::chown(QFile::encodeName(own).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    QProcessEnvironment env = environment();
    env.insert("TMPDIR", temp);
    env.insert("XDG_RUNTIME_DIR", runtime);
    // The X server's cookie, where the other user can read it.
    const QString cookie = qEnvironmentVariable("XAUTHORITY");
    if (!cookie.isEmpty()) {
        QVERIFY(QFile::copy(cookie, shared.filePath("xauthority")));
        QVERIFY(QFile::setPermissions(shared.filePath("xauthority"), QFile::ReadOwner | QFile::ReadOther));
        env.insert("XAUTHORITY", shared.filePath("xauthority"));
    }

    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(locked);
    program.start(command.takeFirst(), command);
    const QString box = onlyWindow(crashTestTitle);
    QVERIFY(!box.isEmpty());
    answer(box, false);
    QCOMPARE(ending(program), reportedEnd);

    QCOMPARE(regularDumps(locked), QStringList());
    const QStringList written = regularDumps(temp);
    QCOMPARE(written.size(), 1);
    QVERIFY2(written[0].startsWith("crashing_program_1.2.3.4_"), qPrintable(written[0]));
    QFile dump(QDir(temp).filePath(written[0]));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QVERIFY(dump.readAll().contains("Signal: 11 (SIGSEGV), code 1\n"));
    QCOMPARE(QFileInfo(dump).ownerId(), ::geteuid() == 0 ? nobody->pw_uid : ::geteuid());
}

void TestCrashRuns::secondCrashIsNotReportedAgain()
{
    QProcess program;
    QVERIFY(!startCrash(program, "twice").isEmpty());

    // The second thread faults while the first one's report is on screen.
    QFile(folder + "/second.go").open(QIODevice::WriteOnly);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + "/second.crashing"), 30000);
    QTest::qWait(500);
    QCOMPARE(program.state(), QProcess::Running);
    QCOMPARE(dumps().size(), 1);
    const QString box = onlyWindow(crashTestTitle);
    QVERIFY(!box.isEmpty());

    answer(box, true);
    QCOMPARE(ending(program), reportedEnd);
    QCOMPARE(dumps().size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(fakes->calls("xdg-email").size(), 1, 30000);
}

void TestCrashRuns::otherSignalWhileTheBoxIsOpen()
{
    QProcess program;
    QVERIFY(startProgram(program, environment()));
    ::kill(pid_t(program.processId()), SIGSEGV);
    const QString box = onlyWindow(reportTitle);
    QVERIFY(!box.isEmpty());

    // Another fatal signal from outside does not end the report.
    ::kill(pid_t(program.processId()), SIGBUS);
    QTRY_VERIFY_WITH_TIMEOUT(signalTakenOrBlocked(program.processId(), SIGBUS) || program.state() != QProcess::Running,
                             30000);
    QCOMPARE(program.state(), QProcess::Running);
    QCOMPARE(waitForWindows(reportTitle), QStringList{box});

    answer(box, false);
    QCOMPARE(ending(program), reportedEnd);
    QCOMPARE(dumps().size(), 1);
    QVERIFY(dumpText().contains("Signal: 11 (SIGSEGV)"));
}

void TestCrashRuns::unwritableFoldersGiveNoDumpAndNoBox()
{
    // No dump can be created in /proc, not even by root; and a folder deeper
    // than the path buffer is refused rather than cut. The temporary folder
    // is /proc too, so no folder takes the dump.
    QString deep = folder;
    while (deep.size() < 2100) {
        deep += "/" + QString(200, 'd');
        QVERIFY(QDir().mkpath(deep));
    }
    QProcessEnvironment env = environment();
    env.insert("TMPDIR", "/proc");
    for (const QString& where : {QString("/proc"), deep}) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(where);
        program.start(CRASHING_PROGRAM, {"worker"});
        QVERIFY(program.waitForFinished(60000));
        // The default action: killed by the signal, no report.
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        QCOMPARE(QDir(where).entryList({"*.dmp"}, QDir::Files), QStringList());
    }
    QCOMPARE(xdotool({"search", "--name", "Unhandled Exception"}), QString());
    QCOMPARE(fakes->calls("xdg-email").size(), 0);
}

void TestCrashRuns::fullDiskGivesNoDumpAndNoBox_data()
{
    QTest::addColumn<qint64>("room");
    QTest::newRow("no room at all") << qint64(0);
    QTest::newRow("room for part of the dump") << qint64(16384);
}

void TestCrashRuns::fullDiskGivesNoDumpAndNoBox()
{
    QFETCH(qint64, room);
    SmallDisk disk(world->filePath("disk"), "256k");
    if (!disk.error().isEmpty())
        QSKIP(qPrintable("cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN): " + disk.error()));
    QVERIFY(disk.fill(room));
    folder = world->filePath("disk");
    // The temporary folder is on the same disk: no folder takes the dump.
    QProcessEnvironment env = environment();
    env.insert("TMPDIR", folder);

    QProcess program;
    QVERIFY(startProgram(program, env));
    ::kill(pid_t(program.processId()), SIGSEGV);
    // The default action: killed by the signal, no dump left behind, no report.
    QCOMPARE(ending(program), QString("killed by signal %1").arg(SIGSEGV));
    QCOMPARE(dumps(), QStringList());
    QCOMPARE(xdotool({"search", "--name", "Unhandled Exception"}), QString());
    QCOMPARE(fakes->calls("xdg-email").size(), 0);
}

void TestCrashRuns::consoleRunInstallsNoHandler_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("/list") << QStringList{"/list"};
    QTest::newRow("a compaction") << QStringList{"/Firefox:all"};
}

void TestCrashRuns::consoleRunInstallsNoHandler()
{
    QFETCH(QStringList, arguments);
    QProcessEnvironment env = environmentWithProfiles();
    QVERIFY(!env.isEmpty());
    env.remove("QT_QPA_PLATFORM");

    // Its output and errors go into a full pipe, so the run waits at its first line.
    int pipeEnds[2];
    QCOMPARE(pipe2(pipeEnds, O_CLOEXEC), 0);
    fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    const QByteArray filler(4096, 'x');
    while (write(pipeEnds[1], filler.constData(), filler.size()) > 0) { }
    fcntl(pipeEnds[1], F_SETFL, 0);

    std::vector<QByteArray> storage;
    std::vector<char*> argv;
    storage.push_back(QUORBILAN_EXE);
    for (const QString& argument : arguments)
        storage.push_back(argument.toUtf8());
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envStorage;
    std::vector<char*> envp;
    for (const QString& entry : env.toStringList())
        envStorage.push_back(entry.toUtf8());
    for (QByteArray& item : envStorage)
        envp.push_back(item.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    pid_t pid = 0;
    QCOMPARE(posix_spawn(&pid, QUORBILAN_EXE, &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);

    const auto waitsOnThePipe = [pid] {
        QFile channel(QString("/proc/%1/wchan").arg(pid));
        return channel.open(QIODevice::ReadOnly) && channel.readAll().contains("pipe_write");
    };
    QTRY_VERIFY_WITH_TIMEOUT(waitsOnThePipe(), 60000);
    const bool segv = catchesSignal(pid, SIGSEGV);
    const bool abrt = catchesSignal(pid, SIGABRT);

    char buffer[65536];
    while (read(pipeEnds[0], buffer, sizeof buffer) > 0) { }
    close(pipeEnds[0]);
    int status = 0;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status));
    QVERIFY(!segv);
    QVERIFY(!abrt);
}

QTEST_GUILESS_MAIN(TestCrashRuns)

#include "tst_CrashRuns.moc"
