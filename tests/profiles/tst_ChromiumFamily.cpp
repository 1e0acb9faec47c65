#include "ChromiumFamilyBrowser.h"
#include "ProfileLines.h"
#include "ProgramFixture.h"
#include "SqliteFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

namespace {

std::unique_ptr<ChromiumFamilyBrowser> browserNamed(const QString& name)
{
    for (const ChromiumBrowserInfo& row : chromiumBrowserTable()) {
        if (row.name == name)
            return std::make_unique<ChromiumFamilyBrowser>(row);
    }
    return nullptr;
}

} // namespace

class TestChromiumFamily : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void table();
    void folderTest_data();
    void folderTest();
    void readLocalStateDegradesQuietly_data();
    void readLocalStateDegradesQuietly();
    void candidateOrder_data();
    void candidateOrder();
    void reloadKeepsProfilesAndRefreshesTitles();
    void operaUserDataFolderMustPassTheTest();
    void unsetVariablesFindNothing();

private:
    std::unique_ptr<ProgramFixture> fixture;
};

void TestChromiumFamily::init()
{
    fixture = std::make_unique<ProgramFixture>();
}

void TestChromiumFamily::table()
{
    const auto table = chromiumBrowserTable();
    QStringList names;
    for (const auto& row : table)
        names << row.name;
    QCOMPARE(names,
             QStringList({"Chrome", "Chrome Beta", "Chrome Dev", "Chrome Canary", "Edge", "Edge Beta", "Edge Dev",
                          "Edge Canary", "Brave", "Brave Beta", "Brave Nightly", "Vivaldi", "Vivaldi Snapshot",
                          "Chromium", "Opera", "Opera GX", "Opera Air"}));
    QCOMPARE(table[0].appNames, QStringList({"chrome.exe", "Google Chrome"}));
    QCOMPARE(table[1].appNames, QStringList({"Google Chrome Beta", "chrome.exe"}));
    QCOMPARE(table[3].dataPath, QStringLiteral("Google/Chrome SxS/User Data"));
    QCOMPARE(table[9].appNames, QStringList({"Brave Beta", "brave.exe"}));
    QCOMPARE(table[10].processNames, QStringList({"brave", "Brave Browser Nightly"}));
    for (size_t i = 0; i < 14; ++i)
        QVERIFY(!table[i].roaming && !table[i].singleProfileLayout);
    QCOMPARE(table[16].dataPath, QStringLiteral("Opera Software/Opera Air Stable"));
    QCOMPARE(table[16].processNames, QStringList({"opera", "Opera Air"}));
    QCOMPARE(table[16].appNames, QStringList({"Opera Air", "opera.exe"}));
    QVERIFY(table[15].roaming && table[15].singleProfileLayout);

    ChromiumFamilyBrowser edge(table[4]);
    QCOMPARE(edge.name(), QStringLiteral("Edge"));
    QCOMPARE(edge.familyName(), QStringLiteral("Chromium"));
    QCOMPARE(edge.processNames(), QStringList({"msedge", "Microsoft Edge"}));
    QCOMPARE(edge.appNames(), QStringList({"msedge.exe", "Microsoft Edge"}));
}

void TestChromiumFamily::folderTest_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("only Preferences") << QStringList{"Preferences"} << QStringList{} << false;
    QTest::newRow("History and Web Data") << QStringList{"History", "Web Data"} << QStringList{} << true;
    QTest::newRow("all four") << QStringList{"Preferences", "History", "Cookies", "Web Data"} << QStringList{} << true;
    QTest::newRow("a folder counts") << QStringList{"Preferences"} << QStringList{"Cookies"} << true;
    QTest::newRow("other files") << QStringList{"Bookmarks", "Favicons"} << QStringList{} << false;
    QTest::newRow("names are exact") << QStringList{"history.bak", "Web Data-journal"} << QStringList{} << false;
}

void TestChromiumFamily::folderTest()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(bool, accepted);
    const QString folder = fixture->filePath("candidate");
    QVERIFY(QDir().mkpath(folder));
    for (const QString& file : files)
        QVERIFY(writeFile(folder + '/' + file, "x"));
    for (const QString& sub : folders)
        QVERIFY(QDir().mkpath(folder + '/' + sub));
    QCOMPARE(browserNamed("Chrome")->isProfileFolder(folder), accepted);
}

void TestChromiumFamily::readLocalStateDegradesQuietly_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("not JSON") << QByteArray("{\"profile\":") << QStringList{};
    QTest::newRow("an array") << QByteArray("[1,2]") << QStringList{};
    QTest::newRow("profile not an object") << QByteArray(R"({"profile":"x"})") << QStringList{};
    QTest::newRow("no info_cache") << QByteArray(R"({"profile":{}})") << QStringList{};
    QTest::newRow("names of every kind") << QByteArray(
        R"({"profile":{"info_cache":{"Default":{"name":"Me"},"Profile 1":{"name":7},"Profile 2":{},"Profile 3":5}}})")
                                         << QStringList{"Default=Me", "Profile 1=", "Profile 2=", "Profile 3="};
}

void TestChromiumFamily::readLocalStateDegradesQuietly()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, entries);
    QVERIFY(writeFile(fixture->filePath("Local State"), content));
    const auto names = readLocalState(fixture->root());
    QStringList actual;
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        actual << it.key() + '=' + it.value();
    actual.sort();
    QCOMPARE(actual, entries);
    QVERIFY(readLocalState(fixture->filePath("missing")).isEmpty());
}

void TestChromiumFamily::candidateOrder_data()
{
    QTest::addColumn<QStringList>("onDisk");
    QTest::addColumn<QStringList>("localState"); // empty: no "Local State"
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("keys sorted ignoring case, Default first")
        << QStringList{"profile 10", "Profile 2", "Default"} << QStringList{"profile 10", "Profile 2", "Default"}
        << QStringList{"Default", "profile 10", "Profile 2"};
    QTest::newRow("lower-case default stays in place")
        << QStringList{"A", "default", "Z"} << QStringList{} << QStringList{"A", "Z", "default"};
    QTest::newRow("disk folders: Default moved to front")
        << QStringList{"Beta", "Alpha", "Default"} << QStringList{} << QStringList{"Default", "Alpha", "Beta"};
    QTest::newRow("listed guest folder is kept")
        << QStringList{"Default", "Guest Profile"} << QStringList{"Guest Profile", "Default"}
        << QStringList{"Default", "Guest Profile"};
    QTest::newRow("unlisted and deleted folders")
        << QStringList{"Default", "Profile 9"} << QStringList{"Default", "Profile 5"} << QStringList{"Default"};
    QTest::newRow("keys that are paths name no folder")
        << QStringList{"Default", "../Outside", "Work/Sub"}
        << QStringList{"Default/", "../Outside", "Work/Sub", "Work\\Sub", "./Default", ".", "..", "", "Default"}
        << QStringList{"Default"};
}

void TestChromiumFamily::candidateOrder()
{
    QFETCH(QStringList, onDisk);
    QFETCH(QStringList, localState);
    QFETCH(QStringList, expected);
    const QString userData = fixture->filePath("User Data");
    for (const QString& folder : onDisk)
        QVERIFY(fixture->makeChromiumProfile(userData + '/' + folder));
    QList<QPair<QString, QString>> names;
    for (const QString& folder : localState)
        names.append({folder, QString()});
    if (!names.isEmpty())
        QVERIFY(fixture->writeLocalState(userData, names));
    QCOMPARE(browserNamed("Chrome")->listProfileFolders(userData, readLocalState(userData)), expected);
}

void TestChromiumFamily::reloadKeepsProfilesAndRefreshesTitles()
{
    const QString userData = fixture->localAppData() + "/Microsoft/Edge/User Data";
    QVERIFY(fixture->makeChromiumProfile(userData + "/Profile 1"));
    QVERIFY(fixture->writeLocalState(userData, {{"Profile 1", "Work"}}));
    const auto browser = browserNamed("Edge");
    ChromiumFamilyBrowser& edge = *browser;
    edge.loadProfiles();
    QCOMPARE(profileLines(edge, userData), QStringList{"Profile 1|Profile 1 (Work)|/Profile 1"});
    BrowserProfile* first = edge.profiles().front().get();

    QVERIFY(fixture->writeLocalState(userData, {{"Profile 1", "Home"}}));
    edge.loadProfiles();
    QCOMPARE(edge.profiles().size(), size_t(1));
    QCOMPARE(edge.profiles().front().get(), first);
    QCOMPARE(first->title, QStringLiteral("Profile 1 (Home)"));
    QCOMPARE(first->family, QStringLiteral("Chromium"));
}

void TestChromiumFamily::operaUserDataFolderMustPassTheTest()
{
    const QString opera = fixture->appData() + "/Opera Software/Opera Stable";
    QVERIFY(QDir().mkpath(opera + "/_side_profiles/side"));
    QVERIFY(fixture->makeDatabase(opera + "/History")); // one marker only
    QVERIFY(fixture->makeDatabase(opera + "/_side_profiles/side/History"));
    QVERIFY(fixture->makeDatabase(opera + "/_side_profiles/side/Cookies"));
    const auto browser = browserNamed("Opera");
    browser->loadProfiles();
    QCOMPARE(profileLines(*browser, opera), QStringList{"side||/_side_profiles/side"});

    // The same folders below LOCALAPPDATA are not Opera's.
    qputenv("APPDATA", fixture->localAppData().toUtf8());
    const auto elsewhere = browserNamed("Opera");
    elsewhere->loadProfiles();
    QVERIFY(elsewhere->profiles().empty());
}

void TestChromiumFamily::unsetVariablesFindNothing()
{
    QVERIFY(fixture->buildStandardTree());
    qunsetenv("LOCALAPPDATA");
    qunsetenv("APPDATA");
    for (const ChromiumBrowserInfo& row : chromiumBrowserTable()) {
        ChromiumFamilyBrowser browser(row);
        browser.loadProfiles();
        QVERIFY2(browser.profiles().empty(), qPrintable(row.name));
    }
}

QTEST_GUILESS_MAIN(TestChromiumFamily)
#include "tst_ChromiumFamily.moc"
