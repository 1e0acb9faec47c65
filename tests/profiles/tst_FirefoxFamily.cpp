#include "FirefoxFamilyBrowser.h"
#include "IniFile.h"
#include "ProfileLines.h"
#include "ProgramFixture.h"
#include "SqliteFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

class TestFirefoxFamily : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void table();
    void folderTest_data();
    void folderTest();
    void profilesIni_data();
    void profilesIni();
    void noProfilesIniNoProfiles();
    void unsetAppDataFindsNothing();
    void iniValuesAreRaw();

private:
    std::unique_ptr<ProgramFixture> fixture;
};

void TestFirefoxFamily::init()
{
    fixture = std::make_unique<ProgramFixture>();
}

void TestFirefoxFamily::table()
{
    const auto table = firefoxBrowserTable();
    QStringList names;
    for (const auto& row : table) {
        names << row.name;
        QCOMPARE(row.processNames.size(), 1);
    }
    QCOMPARE(names,
             QStringList({"Firefox", "Waterfox", "SeaMonkey", "Zen", "LibreWolf", "Floorp", "Pale Moon", "Basilisk",
                          "Thunderbird", "Betterbird"}));
    QCOMPARE(table[3].appNames, QStringList({"zen.exe", "Zen", "Zen Browser"}));
    QCOMPARE(table[6].dataPath, QStringLiteral("Moonchild Productions/Pale Moon"));
    QCOMPARE(table[6].processNames, QStringList{"palemoon"});
    FirefoxFamilyBrowser firefox(table[0]);
    QCOMPARE(firefox.name(), QStringLiteral("Firefox"));
    QCOMPARE(firefox.familyName(), QStringLiteral("Mozilla"));
    QCOMPARE(firefox.processNames(), QStringList{"firefox"});
    QCOMPARE(firefox.appNames(), QStringList({"firefox.exe", "Firefox"}));
}

void TestFirefoxFamily::folderTest_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("prefs.js alone") << "prefs.js" << false << true;
    QTest::newRow("places.sqlite") << "places.sqlite" << false << true;
    QTest::newRow("bookmarkbackups folder") << "bookmarkbackups" << true << true;
    QTest::newRow("other file") << "cookies.sqlite" << false << false;
}

void TestFirefoxFamily::folderTest()
{
    QFETCH(QString, entry);
    QFETCH(bool, isFolder);
    QFETCH(bool, accepted);
    const QString folder = fixture->filePath("candidate");
    QVERIFY(isFolder ? QDir().mkpath(folder + '/' + entry) : fixture->makeTextFile(folder + '/' + entry, "x"));
    QCOMPARE(FirefoxFamilyBrowser(firefoxBrowserTable()[0]).isProfileFolder(folder), accepted);
}

void TestFirefoxFamily::profilesIni_data()
{
    // "%ABS%" stands for the fixture root written with backslashes; expected
    // paths are relative to the data folder unless they start with "@".
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("relative, IsRelative missing")
        << QByteArray("[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/a.default\n\n"
                      "[Profile1]\nName=default-release\nPath=Profiles/b.default-release\n")
        << QStringList{"Profiles/a.default", "Profiles/b.default-release"}
        << QStringList{"default||/Profiles/a.default", "default-release||/Profiles/b.default-release"};
    QTest::newRow("absolute Windows path keeps its backslashes")
        << QByteArray("[Profile0]\r\nName=work\r\nIsRelative=0\r\nPath=%ABS%\\Profiles\\t.work\r\n")
        << QStringList{"@/Profiles/t.work"} << QStringList{"work||@/Profiles/t.work"};
    QTest::newRow("empty name takes the folder name")
        << QByteArray("[Profile0]\nName=\nPath=Profiles/x.named\n") << QStringList{"Profiles/x.named"}
        << QStringList{"x.named||/Profiles/x.named"};
    QTest::newRow("missing folder, empty path, other groups")
        << QByteArray("\xEF\xBB\xBF[General]\nPath=Profiles/general\n[Install4F96D1932A9F858E]\nDefault=Profiles/a\n"
                      "[BackgroundTasksProfiles]\nPath=Profiles/a\n"
                      "[Profile0]\nName=gone\nPath=Profiles/gone\n[Profile1]\nName=blank\nPath=\n"
                      "[Profile2]\nName=a\nPath=Profiles/a\n")
        << QStringList{"Profiles/general", "Profiles/a"} << QStringList{"a||/Profiles/a"};
    QTest::newRow("group order and letter case")
        << QByteArray(
               "[profile3]\nName=three\nPath=p3\n[Profile2]\nName=two\nPath=p2\n[Profile10]\nName=ten\nPath=p10\n")
        << QStringList{"p2", "p3", "p10"} << QStringList{"ten||/p10", "two||/p2", "three||/p3"};
    QTest::newRow("keys are case-sensitive")
        << QByteArray("[Profile0]\nname=lower\npath=p0\n[Profile1]\nNAME=upper\nPath=p1\nISRELATIVE=0\n")
        << QStringList{"p0", "p1"} << QStringList{"p1||/p1"};
    QTest::newRow("IsRelative not a number means absolute")
        << QByteArray("[Profile0]\nName=odd\nIsRelative=yes\nPath=p0\n") << QStringList{"p0"} << QStringList{};
    QTest::newRow("same folder twice: first group names it") << QByteArray(
        "[Profile0]\nName=first\nPath=Profiles/same\n[Profile1]\nName=second\nIsRelative=0\nPath=%ABS%\\Roaming\\Mozilla\\Firefox\\Profiles\\same\\\n")
                                                             << QStringList{"Profiles/same"}
                                                             << QStringList{"first||/Profiles/same"};
    QTest::newRow("listed folder without marker files")
        << QByteArray("[Profile0]\nName=bare\nPath=bare\n") << QStringList{"bare"} << QStringList{"bare||/bare"};
}

void TestFirefoxFamily::profilesIni()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, expected);
    const QString dataDir = fixture->appData() + "/Mozilla/Firefox";
    const auto resolve = [&](const QString& path) {
        return path.startsWith('@') ? fixture->root() + path.mid(1) : dataDir + '/' + path;
    };
    for (const QString& folder : folders)
        QVERIFY(fixture->makeDatabase(resolve(folder) + "/places.sqlite"));
    QString absolute = fixture->root();
    absolute.replace('/', '\\');
    QVERIFY(fixture->makeTextFile(dataDir + "/profiles.ini", QByteArray(ini).replace("%ABS%", absolute.toUtf8())));

    FirefoxFamilyBrowser firefox(firefoxBrowserTable()[0]);
    firefox.loadProfiles();
    QStringList actual = profileLines(firefox, dataDir);
    actual.replaceInStrings(fixture->root(), "@");
    QCOMPARE(actual, expected);
    for (const auto& profile : firefox.profiles())
        QCOMPARE(profile->family, QStringLiteral("Mozilla"));
}

void TestFirefoxFamily::noProfilesIniNoProfiles()
{
    const QString dataDir = fixture->appData() + "/Waterfox";
    QVERIFY(fixture->makeFirefoxProfile(dataDir + "/Profiles/a.default"));
    FirefoxFamilyBrowser waterfox(firefoxBrowserTable()[1]);
    waterfox.loadProfiles();
    QVERIFY(waterfox.profiles().empty());
}

void TestFirefoxFamily::unsetAppDataFindsNothing()
{
    QVERIFY(fixture->buildStandardTree());
    qunsetenv("APPDATA");
    for (const FirefoxBrowserInfo& row : firefoxBrowserTable()) {
        FirefoxFamilyBrowser browser(row);
        browser.loadProfiles();
        QVERIFY2(browser.profiles().empty(), qPrintable(row.name));
    }
}

void TestFirefoxFamily::iniValuesAreRaw()
{
    const QString path = fixture->filePath("profiles.ini");
    QVERIFY(writeFile(
        path, "[Profile0]\nPath = D:\\Profiles\\abc.default \nName=a=b\n[Profile0]\nIsRelative=0\n; comment\n"));
    const auto groups = readIniFile(path);
    QCOMPARE(groups.keys(), QStringList{"Profile0"});
    QCOMPARE(groups["Profile0"].value("Path"), QStringLiteral("D:\\Profiles\\abc.default"));
    QCOMPARE(groups["Profile0"].value("Name"), QStringLiteral("a=b"));
    QCOMPARE(groups["Profile0"].value("IsRelative"), QStringLiteral("0"));
    QVERIFY(readIniFile(fixture->filePath("missing.ini")).isEmpty());
}

QTEST_GUILESS_MAIN(TestFirefoxFamily)
#include "tst_FirefoxFamily.moc"
