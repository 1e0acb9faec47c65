#include "BrowsersList.h"
#include "ProgramFixture.h"
#include "TestWorld.h"
#include "SqliteFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

QString describe(const BrowserProfile* profile)
{
    if (!profile)
        return QStringLiteral("null");
    if (profile->custom)
        return QStringLiteral("custom|%1|%2").arg(profile->name, profile->family);
    return profile->browser->name() + QLatin1Char('|') + profile->name;
}

QStringList describe(const std::vector<BrowserProfile*>& profiles)
{
    QStringList lines;
    for (const BrowserProfile* profile : profiles)
        lines << describe(profile);
    return lines;
}

} // namespace

class TestBrowsersList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void programOrder();
    void discoversTheWholeTree();
    void reloadKeepsProfileObjects();
    void customFamilyDetection_data();
    void customFamilyDetection();
    void customKnownFolderAndTrailingSeparator();
    void removeCustomProfile();
    void processNamesForFamily_data();
    void processNamesForFamily();
    void programsForProfiles();
    void commandLineArgument_data();
    void commandLineArgument();
    void commandLineArgumentWithoutProfiles();

private:
    QString makeFolder(const QString& name, const QStringList& databases, const QStringList& textFiles = {});
    QString makeFolderIn(ProgramFixture& tree, const QString& name, const QStringList& databases,
                         const QStringList& textFiles = {});
    ProgramFixture* commandLineTree();

    QTemporaryDir userDir;
    std::unique_ptr<ProgramFixture> fixture;
    // Shared by every row of commandLineArgument: no row changes it.
    std::unique_ptr<ProgramFixture> m_commandLineTree;
};

void TestBrowsersList::initTestCase()
{
    isolateWorld(userDir.path());
}

void TestBrowsersList::init()
{
    fixture = std::make_unique<ProgramFixture>();
    QDir::setCurrent(fixture->root());
}

QString TestBrowsersList::makeFolder(const QString& name, const QStringList& databases, const QStringList& textFiles)
{
    return makeFolderIn(*fixture, name, databases, textFiles);
}

QString TestBrowsersList::makeFolderIn(ProgramFixture& tree, const QString& name, const QStringList& databases,
                                       const QStringList& textFiles)
{
    const QString folder = tree.root() + "/custom/" + name;
    QDir().mkpath(folder);
    for (const QString& file : databases)
        tree.makeDatabase(folder + '/' + file);
    for (const QString& file : textFiles)
        tree.makeTextFile(folder + '/' + file, "text");
    return folder;
}

// The standard tree, two custom folders and a "Default" folder with a database
// for the relative-path rows; built for the first row only.
ProgramFixture* TestBrowsersList::commandLineTree()
{
    if (!m_commandLineTree) {
        auto tree = std::make_unique<ProgramFixture>();
        if (!tree->buildStandardTree() || !tree->makeDatabase(tree->root() + "/Default/x.db"))
            return nullptr;
        makeFolderIn(*tree, "cc", {"History", "Cookies"});
        makeFolderIn(*tree, "empty", {}, {"prefs.js"});
        m_commandLineTree = std::move(tree);
    }
    // Each fixture points LOCALAPPDATA and APPDATA at itself.
    m_commandLineTree->setEnvironment();
    return m_commandLineTree.get();
}

void TestBrowsersList::programOrder()
{
    BrowsersList list;
    QStringList names;
    QStringList families;
    for (const auto& browser : list.browsers()) {
        names << browser->name();
        families << browser->familyName();
        QVERIFY(browser->profiles().empty());
    }
    QCOMPARE(
        names,
        QStringList(
            {"Firefox",    "Waterfox",      "SeaMonkey",     "Zen",        "LibreWolf",        "Floorp",
             "Pale Moon",  "Basilisk",      "Thunderbird",   "Betterbird", "Chrome",           "Chrome Beta",
             "Chrome Dev", "Chrome Canary", "Edge",          "Edge Beta",  "Edge Dev",         "Edge Canary",
             "Brave",      "Brave Beta",    "Brave Nightly", "Vivaldi",    "Vivaldi Snapshot", "Chromium",
             "Opera",      "Opera GX",      "Opera Air",     "Viber",      "Syncthing",        "Plex Media Server"}));
    QCOMPARE(families.count("Mozilla"), 10);
    QCOMPARE(families.count("Chromium"), 17);
    QCOMPARE(families.mid(27), QStringList({"Viber", "Syncthing", "Plex"}));
    QVERIFY(list.allProfiles().empty());
    QVERIFY(list.browsersWithProfiles().empty());
}

void TestBrowsersList::discoversTheWholeTree()
{
    QVERIFY(fixture->buildStandardTree());
    BrowsersList list;
    list.reloadAll();
    list.loadDatabaseLists();

    QStringList expected;
    for (const ExpectedProfile& profile : fixture->expected())
        expected << QStringList{profile.program, profile.name, profile.title, profile.path}.join('|');
    QStringList actual;
    for (const BrowserProfile* profile : list.allProfiles()) {
        actual << QStringList{profile->programName(), profile->name, profile->title, profile->path}.join('|');
        QVERIFY2(profile->databasesLoaded && !profile->databaseFiles.isEmpty(), qPrintable(profile->path));
        QCOMPARE(profile->family, profile->browser->familyName());
        QVERIFY(profile->selected);
    }
    QCOMPARE(actual, expected);
    QCOMPARE(actual.size(), 42);
    QCOMPARE(list.browsersWithProfiles().size(), size_t(30));
    for (const auto& browser : list.browsers())
        QVERIFY(browser->isProgramPathResolved());
}

void TestBrowsersList::reloadKeepsProfileObjects()
{
    QVERIFY(fixture->buildStandardTree());
    BrowsersList list;
    list.reloadAll();
    const auto first = list.allProfiles();
    list.reloadAll();
    QCOMPARE(list.allProfiles(), first);
}

void TestBrowsersList::customFamilyDetection_data()
{
    QTest::addColumn<QStringList>("databases");
    QTest::addColumn<QStringList>("textFiles");
    QTest::addColumn<QString>("family"); // "null": refused
    QTest::newRow("Mozilla") << QStringList{"places.sqlite"} << QStringList{} << "Mozilla";
    QTest::newRow("only prefs.js beside a database") << QStringList{"x.db"} << QStringList{"prefs.js"} << "Mozilla";
    QTest::newRow("Chromium") << QStringList{"History", "Web Data"} << QStringList{} << "Chromium";
    QTest::newRow("both: Mozilla comes first")
        << QStringList{"History", "Cookies"} << QStringList{"prefs.js"} << "Mozilla";
    QTest::newRow("Viber") << QStringList{"data.db"} << QStringList{} << "Viber";
    QTest::newRow("Syncthing") << QStringList{"main.db", "folder.0001.db"} << QStringList{} << "Syncthing";
    QTest::newRow("Plex") << QStringList{"com.plexapp.plugins.library.db"} << QStringList{} << "Plex";
    QTest::newRow("no family") << QStringList{"notes.sqlite"} << QStringList{} << "";
    QTest::newRow("no database") << QStringList{} << QStringList{"prefs.js", "History"} << "null";
}

void TestBrowsersList::customFamilyDetection()
{
    QFETCH(QStringList, databases);
    QFETCH(QStringList, textFiles);
    QFETCH(QString, family);
    const QString folder = makeFolder("My Profile", databases, textFiles);
    BrowsersList list;
    BrowserProfile* profile = list.addCustomProfile(folder);
    if (family == "null") {
        QVERIFY(!profile);
        QVERIFY(list.customProfiles().empty());
        return;
    }
    QVERIFY(profile);
    QVERIFY(profile->custom && !profile->browser && profile->selected);
    QCOMPARE(profile->name, QStringLiteral("My Profile"));
    QCOMPARE(profile->path, folder);
    QCOMPARE(profile->family, family);
    QCOMPARE(profile->displayName(),
             family.isEmpty() ? QStringLiteral("My Profile") : QStringLiteral("My Profile  [%1]").arg(family));
    QCOMPARE(list.allProfiles(), std::vector<BrowserProfile*>{profile});
}

void TestBrowsersList::customKnownFolderAndTrailingSeparator()
{
    QVERIFY(fixture->buildStandardTree());
    BrowsersList list;
    list.reloadAll();
    const size_t programProfiles = list.allProfiles().size();

    // A program's folder, written with backslashes and in other letter case.
    const QString chromeDefault = fixture->localAppData() + "/Google/Chrome/User Data/Default";
    BrowserProfile* chrome = list.findProfileByPath(chromeDefault);
    QVERIFY(chrome && !chrome->custom);
    QString written = chromeDefault.toUpper();
    written.replace('/', '\\');
    QCOMPARE(list.addCustomProfile(written + "\\"), chrome);
    QCOMPARE(list.findProfileByPath(written), chrome);
    QVERIFY(list.customProfiles().empty());

    // "P/" is "P": one profile named after the folder.
    const QString folder = makeFolder("P", {"notes.sqlite"});
    BrowserProfile* custom = list.addCustomProfile(folder + "/");
    QVERIFY(custom);
    QCOMPARE(custom->name, QStringLiteral("P"));
    QCOMPARE(custom->path, folder);
    QCOMPARE(list.addCustomProfile(folder), custom);
    QCOMPARE(list.addCustomProfile(QString(folder).replace('/', '\\') + "\\\\"), custom);
    QCOMPARE(list.findProfileByPath(folder.toLower() + "/"), custom);
    QCOMPARE(list.customProfiles().size(), size_t(1));
    QCOMPARE(list.allProfiles().size(), programProfiles + 1);
    QCOMPARE(list.allProfiles().back(), custom);
    QVERIFY(!list.findProfileByPath(folder + "/other"));
}

void TestBrowsersList::removeCustomProfile()
{
    QVERIFY(fixture->buildStandardTree());
    BrowsersList list;
    list.reloadAll();
    BrowserProfile* a = list.addCustomProfile(makeFolder("A", {"a.db"}));
    BrowserProfile* b = list.addCustomProfile(makeFolder("B", {"b.db"}));
    BrowserProfile* c = list.addCustomProfile(makeFolder("C", {"c.db"}));
    QVERIFY(a && b && c);
    const size_t before = list.allProfiles().size();
    list.removeCustomProfile(nullptr);
    list.removeCustomProfile(list.allProfiles().front()); // a program's profile
    QCOMPARE(list.allProfiles().size(), before);
    list.removeCustomProfile(b);
    std::vector<BrowserProfile*> remaining;
    for (const auto& profile : list.customProfiles())
        remaining.push_back(profile.get());
    QCOMPARE(remaining, (std::vector<BrowserProfile*>{a, c}));
}

void TestBrowsersList::processNamesForFamily_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("Mozilla") << "Mozilla"
                             << QStringList{"firefox", "waterfox", "seamonkey", "zen",         "librewolf",
                                            "floorp",  "palemoon", "basilisk",  "thunderbird", "betterbird"};
    QTest::newRow("Chromium") << "Chromium"
                              << QStringList{"chrome",
                                             "Google Chrome",
                                             "Google Chrome Beta",
                                             "Google Chrome Dev",
                                             "Google Chrome Canary",
                                             "msedge",
                                             "Microsoft Edge",
                                             "Microsoft Edge Beta",
                                             "Microsoft Edge Dev",
                                             "Microsoft Edge Canary",
                                             "brave",
                                             "Brave Browser",
                                             "Brave Browser Beta",
                                             "Brave Browser Nightly",
                                             "vivaldi",
                                             "Vivaldi Snapshot",
                                             "chromium",
                                             "opera",
                                             "Opera GX",
                                             "Opera Air"};
    QTest::newRow("Plex") << "Plex" << QStringList{"Plex Media Server", "Plex Media Scanner", "PlexScriptHost"};
    QTest::newRow("Viber") << "Viber" << QStringList{"Viber"};
    QTest::newRow("family keys are case-sensitive") << "mozilla" << QStringList{};
    QTest::newRow("unknown") << "Testing" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestBrowsersList::processNamesForFamily()
{
    QFETCH(QString, family);
    QFETCH(QStringList, names);
    QCOMPARE(BrowsersList().processNamesForFamily(family), names);
}

void TestBrowsersList::programsForProfiles()
{
    QVERIFY(fixture->buildStandardTree());
    BrowsersList list;
    list.reloadAll();
    BrowserProfile* chromium = list.findProfileByPath(fixture->localAppData() + "/Chromium/User Data/Default");
    BrowserProfile* chromeDefault
        = list.findProfileByPath(fixture->localAppData() + "/Google/Chrome/User Data/Default");
    BrowserProfile* chromeOther
        = list.findProfileByPath(fixture->localAppData() + "/Google/Chrome/User Data/Profile 1");
    BrowserProfile* plex = list.browsers().back()->profiles().front().get();
    BrowserProfile* customChromium = list.addCustomProfile(makeFolder("cc", {"History", "Cookies"}));
    BrowserProfile* customPlex = list.addCustomProfile(makeFolder("cp", {"com.plexapp.plugins.library.db"}));
    BrowserProfile* noFamily = list.addCustomProfile(makeFolder("none", {"x.db"}));
    QVERIFY(chromium && chromeDefault && chromeOther && customChromium && customPlex && noFamily);
    QCOMPARE(customChromium->family, QStringLiteral("Chromium"));

    const auto pairs
        = list.programsForProfiles({noFamily, chromeDefault, customChromium, chromium, chromeOther, plex, customPlex});
    QCOMPARE(pairs.size(), size_t(4));
    QCOMPARE(pairs[0], ProgramProcessNames("Chrome", {"chrome", "Google Chrome"}));
    // The custom profile came first, so the whole family's names are checked.
    QCOMPARE(pairs[1], ProgramProcessNames("Chromium", list.processNamesForFamily("Chromium")));
    QCOMPARE(pairs[2],
             ProgramProcessNames("Plex Media Server", {"Plex Media Server", "Plex Media Scanner", "PlexScriptHost"}));
    QCOMPARE(pairs[3], ProgramProcessNames("Plex", list.processNamesForFamily("Plex")));

    const auto reversed = list.programsForProfiles({chromium, customChromium});
    QCOMPARE(reversed.size(), size_t(1));
    QCOMPARE(reversed[0], ProgramProcessNames("Chromium", {"chromium", "Chromium"}));
    QVERIFY(list.programsForProfiles({noFamily}).empty());
    QVERIFY(list.programsForProfiles({}).empty());
}

void TestBrowsersList::commandLineArgument_data()
{
    // %CHROME% is Chrome's user-data folder, %DIR% the test folder.
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("error");
    const QStringList allChrome{"Chrome|Default", "Chrome|A Profile", "Chrome|Profile 1", "Chrome|Profile 3"};
    QTest::newRow("all") << "/chrome:all" << allChrome << "";
    QTest::newRow("ALL with a dash") << "-CHROME:ALL" << allChrome << "";
    QTest::newRow("name ignoring case") << "/Chrome Beta:profile 2" << QStringList{"Chrome Beta|Profile 2"} << "";
    QTest::newRow("Viber account") << "/viber:+15550000000" << QStringList{"Viber|+15550000000"} << "";
    QTest::newRow("no colon") << "/Chrome" << QStringList{} << "Error: invalid command line syntax near /Chrome";
    QTest::newRow("no program") << "/:Default" << QStringList{} << "Error: invalid command line syntax near /:Default";
    QTest::newRow("no leading character")
        << "chrome:Default" << QStringList{} << "Error: invalid command line syntax near chrome:Default";
    QTest::newRow("empty") << "" << QStringList{} << "Error: invalid command line syntax near ";
    QTest::newRow("unknown program") << "/Foo:Default" << QStringList{} << "Error: unknown program name Foo";
    QTest::newRow("unknown profile") << "/chrome:Nope" << QStringList{} << "Error: no profile Nope found for Chrome";
    QTest::newRow("later colons stay") << "/Plex Media Server:a:b" << QStringList{}
                                       << "Error: no profile a:b found for Plex Media Server";
    QTest::newRow("empty profile") << "/Edge:" << QStringList{} << "Error: no profile  found for Edge";
    QTest::newRow("another program's folder") << "/Firefox:%CHROME%/Profile 1" << QStringList{"Chrome|Profile 1"} << "";
    QTest::newRow("folder with trailing separator")
        << "/Firefox:%CHROME%/Profile 1/" << QStringList{"Chrome|Profile 1"} << "";
    QTest::newRow("unknown folder with databases")
        << "/Firefox:%DIR%/custom/cc" << QStringList{"custom|cc|Chromium"} << "";
    QTest::newRow("folder without databases")
        << "/Firefox:%DIR%/custom/empty" << QStringList{} << "Error: no SQLite databases found in %DIR%/custom/empty";
    QTest::newRow("relative folder before a profile name") << "/Chrome:Default" << QStringList{"custom|Default|"} << "";
    QTest::newRow("relative folder of a known profile")
        << "/Firefox:Local/Google/Chrome/User Data/./Profile 1" << QStringList{"Chrome|Profile 1"} << "";
    QTest::newRow("current folder") << "/Opera:." << QStringList{"custom|Default|"} << "";
}

void TestBrowsersList::commandLineArgument()
{
    QFETCH(QString, argument);
    QFETCH(QStringList, expected);
    QFETCH(QString, error);
    ProgramFixture* tree = commandLineTree();
    QVERIFY(tree);
    const QString chrome = tree->localAppData() + "/Google/Chrome/User Data";
    for (QString* text : {&argument, &error}) {
        text->replace("%CHROME%", chrome);
        text->replace("%DIR%", QDir::toNativeSeparators(tree->root()));
    }
    const auto restoreFolder = qScopeGuard([previous = QDir::currentPath()] { QDir::setCurrent(previous); });
    // Relative folders start from the tree's root ("Default" holds a database).
    QVERIFY(QDir::setCurrent(tree->root()));
    if (QTest::currentDataTag() == QLatin1String("current folder"))
        QVERIFY(QDir::setCurrent(tree->root() + "/Default"));

    BrowsersList list;
    list.reloadAll();
    const size_t customBefore = list.customProfiles().size();
    QString actualError = "untouched";
    const auto result = list.parseCommandLineArgument(argument, actualError);
    QCOMPARE(describe(result), expected);
    QCOMPARE(actualError, error.isEmpty() ? QStringLiteral("untouched") : error);
    const bool addsCustom = expected.size() == 1 && expected.front().startsWith("custom|");
    QCOMPARE(list.customProfiles().size(), customBefore + (addsCustom ? 1 : 0));
}

void TestBrowsersList::commandLineArgumentWithoutProfiles()
{
    BrowsersList list; // nothing discovered
    QString error;
    QVERIFY(list.parseCommandLineArgument("/chrome:all", error).empty());
    QCOMPARE(error, QStringLiteral("Error: no profile all found for Chrome"));
    QVERIFY(list.parseCommandLineArgument("-CHROME:ALL", error).empty());
    QCOMPARE(error, QStringLiteral("Error: no profile ALL found for Chrome"));
}

QTEST_GUILESS_MAIN(TestBrowsersList)
#include "tst_BrowsersList.moc"
