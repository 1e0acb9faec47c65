#include "BrowsersList.h"
#include "RunningPrograms.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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

private:
    void startCopy(const QString &fileName, int count = 1);
    std::vector<ProgramProcessNames> pairsFor(const QStringList &programNames) const;

    QTemporaryDir dir;
    BrowsersList list;
    std::vector<std::unique_ptr<QProcess>> children;
};

void TestRunningPrograms::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QFileInfo::exists("/bin/sleep"));
}

void TestRunningPrograms::cleanup()
{
    for (auto &child : children) {
        child->kill();
        child->waitForFinished();
    }
    children.clear();
}

void TestRunningPrograms::startCopy(const QString &fileName, int count)
{
    const QString path = dir.filePath(fileName);
    if (!QFileInfo::exists(path)) {
        QVERIFY(QFile::copy("/bin/sleep", path));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    for (int i = 0; i < count; ++i) {
        auto child = std::make_unique<QProcess>();
        child->start(path, {"600"});
        QVERIFY2(child->waitForStarted(), qPrintable(child->errorString()));
        children.push_back(std::move(child));
    }
}

std::vector<ProgramProcessNames> TestRunningPrograms::pairsFor(const QStringList &programNames) const
{
    std::vector<ProgramProcessNames> pairs;
    for (const auto &browser : list.browsers()) {
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

QTEST_GUILESS_MAIN(TestRunningPrograms)
#include "tst_RunningPrograms.moc"
