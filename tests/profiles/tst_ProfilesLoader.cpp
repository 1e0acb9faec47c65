#include "AppSettings.h"
#include "BrowsersList.h"
#include "ProfilesLoader.h"
#include "ProgramFixture.h"
#include "TestWorld.h"

#include <QDir>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTest>

#include <thread>

using namespace TestSupport;

// The pool is squeezed to one thread and a blocker task holds it, so a job
// the loader starts stays queued until the test lets it go.
class TestProfilesLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void oneJobOneFinished();
    void restartAfterFinished();
    void destructorWaitsForTheJob();

private:
    void blockPool();

    QTemporaryDir userDir;
    std::unique_ptr<ProgramFixture> fixture;
    std::unique_ptr<AppSettings> store;
    QSemaphore gate;
    int originalThreads = 0;
};

void TestProfilesLoader::initTestCase()
{
    isolateWorld(userDir.path());
    originalThreads = QThreadPool::globalInstance()->maxThreadCount();
}

void TestProfilesLoader::init()
{
    fixture = std::make_unique<ProgramFixture>();
    QVERIFY(fixture->buildStandardTree());
    QVERIFY(fixture->makeDatabase(fixture->root() + "/custom/notes.db"));
    store = std::make_unique<AppSettings>(QString::fromLatin1(QTest::currentTestFunction()),
                                          QStringLiteral("Tulverhaven Software"));
    store->registerValueStringList("SelectedProfiles", {});
    store->registerValueStringList("CustomProfiles", {"\t" + fixture->root() + "/custom"});
    QThreadPool::globalInstance()->setMaxThreadCount(1);
}

void TestProfilesLoader::cleanup()
{
    gate.release(); // never leave a blocker waiting after a failed test
    QThreadPool::globalInstance()->waitForDone();
    gate.acquire(gate.available());
    QThreadPool::globalInstance()->setMaxThreadCount(originalThreads);
}

void TestProfilesLoader::blockPool()
{
    QThreadPool::globalInstance()->start([this] { gate.acquire(); });
}

void TestProfilesLoader::oneJobOneFinished()
{
    BrowsersList list;
    BrowsersList other;
    ProfilesLoader loader;
    int finished = 0;
    connect(&loader, &ProfilesLoader::finished, this, [&] { ++finished; });
    QVERIFY(!loader.isRunning());

    blockPool();
    loader.start(&list, store.get());
    QVERIFY(loader.isRunning());
    loader.start(&other, store.get()); // ignored: the first job is still queued
    gate.release();
    loader.waitForFinished();
    QVERIFY(!loader.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(finished, 1, 60000);
    // A second job would have been queued behind the first.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(finished, 1);

    QCOMPARE(list.allProfiles().size(), fixture->expected().size() + 1);
    QCOMPARE(list.customProfiles().front()->path, fixture->root() + "/custom");
    for (BrowserProfile* profile : list.allProfiles())
        QVERIFY(profile->databasesLoaded);
    for (const auto& browser : list.browsers())
        QVERIFY(browser->isProgramPathResolved());
    QVERIFY(other.allProfiles().empty());
}

void TestProfilesLoader::restartAfterFinished()
{
    BrowsersList list;
    ProfilesLoader loader;
    int finished = 0;
    // Started again straight from the signal, as a refresh may do.
    connect(&loader, &ProfilesLoader::finished, this, [&] {
        if (++finished == 1)
            loader.start(&list, store.get());
    });
    loader.start(&list, store.get());
    QTRY_COMPARE_WITH_TIMEOUT(finished, 2, 60000);
    loader.waitForFinished();
    QCOMPARE(list.allProfiles().size(), fixture->expected().size() + 1);
}

void TestProfilesLoader::destructorWaitsForTheJob()
{
    BrowsersList list;
    std::atomic<int> finished{0};
    auto loader = std::make_unique<ProfilesLoader>();
    connect(
        loader.get(), &ProfilesLoader::finished, loader.get(), [&] { ++finished; }, Qt::DirectConnection);
    blockPool();
    loader->start(&list, nullptr);
    std::thread opener([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gate.release();
    });
    loader.reset(); // blocks until the job has emitted its signal
    QCOMPARE(finished.load(), 1);
    QCOMPARE(list.allProfiles().size(), fixture->expected().size());
    opener.join();
}

QTEST_GUILESS_MAIN(TestProfilesLoader)
#include "tst_ProfilesLoader.moc"
