#include "ProcessHelpers.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <dlfcn.h>
#include <unistd.h>

#include <thread>

using ProcessHelpers::Process;

namespace {

// Now in the units of a process's creation time.
uint64_t fileTimeNow()
{
    return uint64_t(QDateTime::currentMSecsSinceEpoch()) * 10000 + 116444736000000000ULL;
}

std::vector<Process> processesWithId(qint64 pid)
{
    return ProcessHelpers::runningProcesses([pid](const Process& p) { return p.processId == uint32_t(pid); });
}

QByteArray readComm(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

} // namespace

class TestProcessHelpers : public QObject
{
    Q_OBJECT

private slots:
    void childProcessListed();
    void deletedExecutableKeepsItsPath();
    void filterAndOwnProcess();
    void unreadableExecutableGivesName();
    void mainThreadKeepsProcessName();
    void otherThreadIsNamed_data();
    void otherThreadIsNamed();
    void moduleNames();
    void systemFlags();
};

void TestProcessHelpers::childProcessListed()
{
    const QString sleepPath = QStandardPaths::findExecutable(QStringLiteral("sleep"));
    QVERIFY(!sleepPath.isEmpty());
    QProcess child;
    child.start(sleepPath, {QStringLiteral("30")});
    QVERIFY(child.waitForStarted());
    const uint64_t started = fileTimeNow();

    const std::vector<Process> found = processesWithId(child.processId());
    child.kill();
    child.waitForFinished();

    QCOMPARE(found.size(), std::size_t(1));
    const Process& p = found.front();
    QCOMPARE(QString::fromStdWString(p.imagePath), QFileInfo(sleepPath).canonicalFilePath());
    QCOMPARE(p.parentProcessId, uint32_t(getpid()));
    const uint64_t created = p.creationTime;
    const uint64_t fiveSeconds = 5ULL * 10000000ULL;
    QVERIFY2(created + fiveSeconds > started && created < started + fiveSeconds,
             qPrintable(QStringLiteral("created %1, now %2").arg(created).arg(started)));
}

void TestProcessHelpers::deletedExecutableKeepsItsPath()
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("my sleep"));
    QVERIFY(QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner));
    QProcess child;
    child.start(copy, {QStringLiteral("30")});
    QVERIFY(child.waitForStarted());
    QVERIFY(QFile::remove(copy));

    const std::vector<Process> found = processesWithId(child.processId());
    child.kill();
    child.waitForFinished();
    QCOMPARE(found.size(), std::size_t(1));
    QCOMPARE(QString::fromStdWString(found.front().imagePath),
             QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/my sleep"));
}

void TestProcessHelpers::filterAndOwnProcess()
{
    int calls = 0;
    const std::vector<Process> none = ProcessHelpers::runningProcesses([&calls](const Process&) {
        ++calls;
        return false;
    });
    QVERIFY(none.empty());
    QVERIFY(calls > 1);

    const std::vector<Process> all = ProcessHelpers::runningProcesses({});
    QVERIFY(all.size() > 1);
    const auto self
        = std::find_if(all.begin(), all.end(), [](const Process& p) { return p.processId == uint32_t(getpid()); });
    QVERIFY(self != all.end());
    QCOMPARE(QString::fromStdWString(self->imagePath), QCoreApplication::applicationFilePath());
    QCOMPARE(self->parentProcessId, uint32_t(getppid()));
}

void TestProcessHelpers::unreadableExecutableGivesName()
{
    // Kernel threads have no executable: only their name can be listed.
    const std::vector<Process> threads
        = ProcessHelpers::runningProcesses([](const Process& p) { return p.processId == 2 && p.parentProcessId == 0; });
    if (threads.empty())
        QSKIP("no kernel threads are visible in this process namespace");
    QCOMPARE(QString::fromStdWString(threads.front().imagePath),
             QString::fromUtf8(readComm(QStringLiteral("/proc/2/comm"))));
}

void TestProcessHelpers::mainThreadKeepsProcessName()
{
    const QByteArray before = readComm(QStringLiteral("/proc/self/comm"));
    QVERIFY(!before.isEmpty());
    ProcessHelpers::setCurrentThreadDescription(L"mainThread");
    QCOMPARE(readComm(QStringLiteral("/proc/self/comm")), before);
    ProcessHelpers::setCurrentThreadDescription(nullptr);
    QCOMPARE(readComm(QStringLiteral("/proc/self/comm")), before);
}

void TestProcessHelpers::otherThreadIsNamed_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("short") << "worker" << QByteArray("worker");
    QTest::newRow("cut to 15 bytes") << "QuorbilanWorkerThread" << QByteArray("QuorbilanWorker");
    QTest::newRow("cut at a character boundary") << QString(10, QChar(0xE4)) << QString(7, QChar(0xE4)).toUtf8();
}

void TestProcessHelpers::otherThreadIsNamed()
{
    QFETCH(QString, description);
    QFETCH(QByteArray, name);
    const QByteArray processName = readComm(QStringLiteral("/proc/self/comm"));
    const std::wstring wide = description.toStdWString();
    QByteArray seen;
    std::thread worker([&] {
        ProcessHelpers::setCurrentThreadDescription(wide.c_str());
        seen = readComm(QStringLiteral("/proc/self/task/%1/comm").arg(gettid()));
    });
    worker.join();
    QCOMPARE(seen, name);
    QCOMPARE(readComm(QStringLiteral("/proc/self/comm")), processName);
}

void TestProcessHelpers::moduleNames()
{
    const QString own = QCoreApplication::applicationFilePath();
    QVERIFY(ProcessHelpers::currentModule() != nullptr);
    QCOMPARE(QString::fromStdWString(ProcessHelpers::moduleFileName(ProcessHelpers::currentModule())), own);
    QCOMPARE(QString::fromStdWString(ProcessHelpers::moduleFileName(nullptr)), own);

    void* qtCore = dlopen("libQt6Core.so.6", RTLD_LAZY | RTLD_NOLOAD);
    QVERIFY(qtCore);
    const QString qtCorePath = QString::fromStdWString(ProcessHelpers::moduleFileName(qtCore));
    dlclose(qtCore);
    QVERIFY2(qtCorePath.startsWith(QLatin1Char('/')) && qtCorePath.contains(QLatin1String("libQt6Core.so")),
             qPrintable(qtCorePath));
    QVERIFY(QFileInfo::exists(qtCorePath));
}

void TestProcessHelpers::systemFlags()
{
    QCOMPARE(ProcessHelpers::isWindows32Bit(), sizeof(void*) == 4);
    // No token privileges to switch on Linux.
    QVERIFY(!ProcessHelpers::enablePrivilege(L"SeDebugPrivilege", nullptr, true));
}

QTEST_GUILESS_MAIN(TestProcessHelpers)
#include "tst_processhelpers.moc"
