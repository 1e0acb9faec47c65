#include "Browser.h"
#include "BrowserProfile.h"
#include "BrowsersList.h"
#include "Optimizer.h"
#include "PathHelpers.h"
#include "SqliteFixture.h"
#include "TestBrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

class TestBrowserProfile : public QObject
{
    Q_OBJECT

private slots:
    void normalizePathCases_data();
    void normalizePathCases();
    void fileExistsInNeedsAFolder();
    void addProfileDeduplicatesByFolderIgnoringCase();
    void profileByNameIgnoresCase();
    void removeProfileKeepsOrder();
    void displayAndProgramNames();
    void totalSizeRereadsSizesButNotTheList();
    void settingsString();
    void listedSizesServeTheFirstTotal();
    void compactionKeepsTheNewSizes();
};

void TestBrowserProfile::normalizePathCases_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("backslashes and trailing") << "C:\\Users\\me\\Profile\\"
                                              << "C:/Users/me/Profile";
    QTest::newRow("drive root") << "C:\\"
                                << "C:";
    QTest::newRow("several trailing") << "/home/me//"
                                      << "/home/me";
    QTest::newRow("lone slash") << "/"
                                << "/";
    QTest::newRow("only slashes") << "//"
                                  << "/";
    QTest::newRow("already clean") << "/a/b"
                                   << "/a/b";
    QTest::newRow("empty") << ""
                           << "";
}

void TestBrowserProfile::normalizePathCases()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(normalizePath(input), expected);
}

void TestBrowserProfile::fileExistsInNeedsAFolder()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("Local State"), "{}"));
    QVERIFY(QDir(dir.path()).mkdir("Default"));
    QVERIFY(fileExistsIn(dir.path(), "Local State"));
    QVERIFY(fileExistsIn(dir.path(), "Default"));
    QVERIFY(!fileExistsIn(dir.path(), "missing"));
    // An empty folder must not turn into a look-up at the root.
    QVERIFY(QFileInfo::exists("/etc"));
    QVERIFY(!fileExistsIn(QString(), "etc"));
}

void TestBrowserProfile::addProfileDeduplicatesByFolderIgnoringCase()
{
    TestBrowser browser;
    BrowserProfile* first = browser.addProfile("Default", "/Data/Browser/Profile");
    QCOMPARE(first->path, QStringLiteral("/Data/Browser/Profile"));
    QCOMPARE(first->family, QStringLiteral("Testing"));
    QCOMPARE(first->browser, &browser);
    QVERIFY(!first->custom);
    QVERIFY(first->selected);

    BrowserProfile* again = browser.addProfile("X", "\\data\\BROWSER\\profile\\");
    QCOMPARE(again, first);
    QCOMPARE(again->name, QStringLiteral("Default"));
    QCOMPARE(browser.profiles().size(), size_t(1));

    BrowserProfile* other = browser.addProfile("Second", "/Data/Browser/Profile 2");
    QVERIFY(other != first);
    QCOMPARE(browser.profiles().size(), size_t(2));
}

void TestBrowserProfile::profileByNameIgnoresCase()
{
    TestBrowser browser;
    BrowserProfile* def = browser.addProfile("Default", "/p/Default");
    browser.addProfile("Work", "/p/Work");
    QCOMPARE(browser.profileByName("default"), def);
    QCOMPARE(browser.profileByName("WORK")->name, QStringLiteral("Work"));
    QCOMPARE(browser.profileByName("nobody"), nullptr);
}

void TestBrowserProfile::removeProfileKeepsOrder()
{
    TestBrowser browser;
    browser.addProfile("A", "/p/a");
    BrowserProfile* b = browser.addProfile("B", "/p/b");
    browser.addProfile("C", "/p/c");

    TestBrowser stranger;
    BrowserProfile* foreign = stranger.addProfile("A", "/p/a");
    browser.removeProfile(foreign);
    QCOMPARE(browser.profiles().size(), size_t(3));

    browser.removeProfile(b);
    QCOMPARE(browser.profiles().size(), size_t(2));
    QCOMPARE(browser.profiles()[0]->name, QStringLiteral("A"));
    QCOMPARE(browser.profiles()[1]->name, QStringLiteral("C"));
}

void TestBrowserProfile::displayAndProgramNames()
{
    TestBrowser browser("Chrome", "Chromium");
    BrowserProfile* plain = browser.addProfile("Default", "/p/Default");
    QCOMPARE(plain->displayName(), QStringLiteral("Default"));
    QCOMPARE(plain->programName(), QStringLiteral("Chrome"));
    plain->title = QStringLiteral("Default (Alice)");
    QCOMPARE(plain->displayName(), QStringLiteral("Default (Alice)"));

    BrowserProfile mozilla(QStringLiteral("Mozilla"), QStringLiteral("Backup"), QStringLiteral("/b/Backup"));
    QVERIFY(mozilla.custom);
    QCOMPARE(mozilla.browser, nullptr);
    QCOMPARE(mozilla.displayName(), QStringLiteral("Backup  [Mozilla]"));
    QCOMPARE(mozilla.programName(), QStringLiteral("Mozilla"));

    BrowserProfile bare(QString(), QStringLiteral("Stuff"), QStringLiteral("/b/Stuff"));
    QCOMPARE(bare.displayName(), QStringLiteral("Stuff"));
    QCOMPARE(bare.programName(), QStringLiteral("Stuff"));
}

void TestBrowserProfile::totalSizeRereadsSizesButNotTheList()
{
    QTemporaryDir dir;
    QVERIFY(createBloatedDatabase(dir.filePath("one.sqlite"), 500, 1000, 20));
    QVERIFY(writeFile(dir.filePath("one.sqlite-journal"), QByteArray(4096, 'j')));

    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("P", dir.path());
    QVERIFY(!profile->databasesLoaded);
    const qint64 before = profile->totalSize();
    QVERIFY(profile->databasesLoaded);
    QCOMPARE(before, QFileInfo(dir.filePath("one.sqlite")).size()); // no journal counted

    // Files that appear later are not listed again; sizes are read afresh.
    QVERIFY(createBloatedDatabase(dir.filePath("two.sqlite"), 10, 100, 5));
    QVERIFY(writeFile(dir.filePath("one.sqlite"), QByteArray(512, 'x')));
    QCOMPARE(profile->databases(), QStringList{dir.filePath("one.sqlite")});
    QCOMPARE(profile->totalSize(), qint64(512));

    QVERIFY(QFile::remove(dir.filePath("one.sqlite")));
    QCOMPARE(profile->totalSize(), qint64(0));

    QTemporaryDir emptyDir;
    BrowserProfile* empty = browser.addProfile("Empty", emptyDir.path());
    QCOMPARE(empty->totalSize(), qint64(0));
    QVERIFY(empty->databases().isEmpty());
}

void TestBrowserProfile::settingsString()
{
    BrowserProfile custom(QStringLiteral("Mozilla"), QStringLiteral("P"), QStringLiteral("D:/Profiles/P"));
    QCOMPARE(custom.toSettingsString(), QStringLiteral("Mozilla\tD:/Profiles/P"));
}

// The sizes read by the listing are the first total; the next one reads the
// disk again.
void TestBrowserProfile::listedSizesServeTheFirstTotal()
{
    QTemporaryDir dir;
    QVERIFY(createBloatedDatabase(dir.filePath("one.sqlite"), 500, 1000, 20));
    const qint64 listed = QFileInfo(dir.filePath("one.sqlite")).size();
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("P", dir.path());
    QCOMPARE(profile->databases(), QStringList{dir.filePath("one.sqlite")});
    QCOMPARE(profile->databaseSizes, QList<qint64>{listed});

    QVERIFY(writeFile(dir.filePath("one.sqlite"), QByteArray(512, 'x')));
    QCOMPARE(profile->totalSize(), listed);
    QCOMPARE(profile->totalSize(), qint64(512));
    QCOMPARE(profile->totalSize(), qint64(512));
    QVERIFY(writeFile(dir.filePath("one.sqlite"), QByteArray(700, 'x')));
    QCOMPARE(profile->readTotalSize(), qint64(700));

    // A folder added as custom profile keeps the listing that accepted it.
    QTemporaryDir customDir;
    QVERIFY(createBloatedDatabase(customDir.filePath("a.sqlite"), 50, 1000, 5));
    QVERIFY(writeFile(customDir.filePath("notes.txt"), "text"));
    BrowsersList list;
    BrowserProfile* custom = list.addCustomProfile(customDir.path());
    QVERIFY(custom && custom->databasesLoaded);
    QCOMPARE(custom->databaseFiles, QStringList{customDir.filePath("a.sqlite")});
    QCOMPARE(custom->totalSize(), QFileInfo(customDir.filePath("a.sqlite")).size());
}

// After a run every compacted file's new size is kept: the profile's next
// total is the size on disk now, without reading it again.
void TestBrowserProfile::compactionKeepsTheNewSizes()
{
    QTemporaryDir dir;
    QVERIFY(createBloatedDatabase(dir.filePath("a.sqlite"), 800, 1000, 80));
    QVERIFY(createBloatedDatabase(dir.filePath("b.sqlite"), 400, 1000, 40));
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("P", dir.path());
    const qint64 before = profile->totalSize();

    Optimizer optimizer;
    optimizer.start({profile});
    optimizer.waitForFinished();
    const QList<qint64> now{QFileInfo(dir.filePath("a.sqlite")).size(), QFileInfo(dir.filePath("b.sqlite")).size()};
    QVERIFY(now[0] + now[1] < before);
    QVERIFY(profile->sizesKept);
    QCOMPARE(profile->databaseSizes, now);
    QCOMPARE(profile->totalSize(), now[0] + now[1]);
    QVERIFY(!profile->sizesKept);

    // A file the run leaves alone keeps its size as it is on disk.
    QVERIFY(writeFile(dir.filePath("b.sqlite"), QByteArray(1000, 'y')));
    optimizer.start({profile});
    optimizer.waitForFinished();
    QVERIFY(profile->sizesKept);
    QCOMPARE(profile->databaseSizes.last(), qint64(1000)); // not a database: left as it was
}

QTEST_GUILESS_MAIN(TestBrowserProfile)
#include "tst_BrowserProfile.moc"
