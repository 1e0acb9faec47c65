#include "BrowsersList.h"
#include "FakeProgram.h"
#include "RunningPrograms.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using TestSupport::FakeProgram;

// Real child processes: copies of the sleep program, named like the programs'
// executables, so the process list reports those names.
class TestRunningPrograms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void emptyListEnumeratesNothing();
    void processNamesHoldImagePaths();
    void programReportedOnce();
    void similarNameIsNotTheProgram();
    void sharedProcessNameMarksBothPrograms();
    void nameWithBlanksAndExtension();
    void customProfileChecksTheFamily();
    void onlyTheUsersLiveProcessesCount_data();
    void onlyTheUsersLiveProcessesCount();

private:
    void startCopy(const QString& fileName, int count = 1);
    std::vector<ProgramProcessNames> pairsFor(const QStringList& programNames) const;

    QTemporaryDir dir;
    BrowsersList list;
    std::vector<std::unique_ptr<FakeProgram>> children;
};

void TestRunningPrograms::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QFileInfo::exists("/bin/sleep"));
}

void TestRunningPrograms::cleanup()
{
    children.clear();
}

void TestRunningPrograms::startCopy(const QString& fileName, int count)
{
    for (int i = 0; i < count; ++i) {
        children.push_back(std::make_unique<FakeProgram>(dir.path(), fileName));
        QVERIFY2(children.back()->isRunning(), qPrintable(children.back()->errorString()));
    }
}

std::vector<ProgramProcessNames> TestRunningPrograms::pairsFor(const QStringList& programNames) const
{
    std::vector<ProgramProcessNames> pairs;
    for (const auto& browser : list.browsers()) {
        if (programNames.contains(browser->name()))
            pairs.emplace_back(browser->name(), browser->processNames());
    }
    return pairs;
}

void TestRunningPrograms::emptyListEnumeratesNothing()
{
    startCopy("firefox");
    QCOMPARE(runningPrograms({}), QStringList());
}

void TestRunningPrograms::processNamesHoldImagePaths()
{
    startCopy("waterfox");
    QVERIFY(runningProcessNames().contains(dir.filePath("waterfox")));
}

void TestRunningPrograms::programReportedOnce()
{
    const auto pairs = pairsFor({"Firefox", "Waterfox", "Chrome"});
    QCOMPARE(runningPrograms(pairs), QStringList());
    startCopy("firefox", 3);
    QCOMPARE(runningPrograms(pairs), QStringList{"Firefox"});
    startCopy("FIREFOX.EXE");
    QCOMPARE(runningPrograms(pairs), QStringList{"Firefox"});
    cleanup();
    startCopy("FIREFOX.EXE");
    QCOMPARE(runningPrograms(pairs), QStringList{"Firefox"});
}

void TestRunningPrograms::similarNameIsNotTheProgram()
{
    startCopy("firefox-bin");
    startCopy("firefox.exe.bak");
    startCopy("myfirefox");
    QCOMPARE(runningPrograms(pairsFor({"Firefox"})), QStringList());
}

void TestRunningPrograms::sharedProcessNameMarksBothPrograms()
{
    startCopy("chrome", 2);
    QCOMPARE(runningPrograms(pairsFor({"Chrome Dev", "Chrome", "Edge", "Chrome Beta"})),
             QStringList({"Chrome", "Chrome Beta", "Chrome Dev"}));
}

void TestRunningPrograms::nameWithBlanksAndExtension()
{
    startCopy("Plex Media Scanner.exe");
    QCOMPARE(runningPrograms(pairsFor({"Plex Media Server", "Viber"})), QStringList{"Plex Media Server"});
}

void TestRunningPrograms::customProfileChecksTheFamily()
{
    // A custom "Plex" profile is checked against every Plex process name.
    BrowserProfile custom(QStringLiteral("Plex"), QStringLiteral("Library"), dir.path());
    const auto pairs = list.programsForProfiles({&custom});
    startCopy("PlexScriptHost");
    QCOMPARE(runningPrograms(pairs), QStringList{"Plex"});
}

namespace {

// State letter of a process from /proc/<pid>/stat; 0 when it is gone.
char processState(pid_t pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const qsizetype end = text.lastIndexOf(')');
    return end > 0 && end + 2 < text.size() ? text.at(end + 2) : 0;
}

// A child started with plain fork/exec: Qt does not know it, so nothing
// reaps it behind the test's back.
pid_t startRaw(const QStringList& command)
{
    std::vector<QByteArray> args;
    for (const QString& arg : command)
        args.push_back(QFile::encodeName(arg));
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

} // namespace

void TestRunningPrograms::onlyTheUsersLiveProcessesCount_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("counts");
    QTest::newRow("own live process") << "own" << true;
    QTest::newRow("zombie") << "zombie" << false;
    QTest::newRow("another user's process") << "other user" << false;
}

void TestRunningPrograms::onlyTheUsersLiveProcessesCount()
{
    QFETCH(QString, kind);
    QFETCH(bool, counts);
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (kind == "other user" && (::geteuid() != 0 || setpriv.isEmpty()))
        QSKIP("needs root and setpriv to start a process as the user nobody");

    // A copy of sleep that the user nobody may run too.
    const QString folder = dir.filePath("shared");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(
        dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QString copy = folder + "/vivaldi";
    if (!QFileInfo::exists(copy)) {
        QVERIFY(QFile::copy(QStandardPaths::findExecutable("sleep"), copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    }

    QStringList command{copy, kind == "zombie" ? "0" : "600"};
    if (kind == "other user")
        command = QStringList{setpriv, "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"} + command;
    const pid_t pid = startRaw(command);
    QVERIFY(pid > 0);
    if (kind == "zombie") {
        QTRY_COMPARE_WITH_TIMEOUT(processState(pid), 'Z', 60000);
    } else {
        // Running the copy itself, after setpriv's exec.
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(QString("/proc/%1/exe").arg(pid)).symLinkTarget(), copy, 60000);
    }

    const QStringList running = runningPrograms(pairsFor({"Vivaldi", "Firefox"}));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    QCOMPARE(running, counts ? QStringList{"Vivaldi"} : QStringList());
}

QTEST_GUILESS_MAIN(TestRunningPrograms)
#include "tst_RunningPrograms.moc"
