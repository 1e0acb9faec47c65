#include "BrowsersList.h"
#include "FakeProgram.h"
#include "RunningPrograms.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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

private:
    void startCopy(const QString &fileName, int count = 1);
    std::vector<ProgramProcessNames> pairsFor(const QStringList &programNames) const;

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

void TestRunningPrograms::startCopy(const QString &fileName, int count)
{
    for (int i = 0; i < count; ++i) {
        children.push_back(std::make_unique<FakeProgram>(dir.path(), fileName));
        QVERIFY2(children.back()->isRunning(), qPrintable(children.back()->errorString()));
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
