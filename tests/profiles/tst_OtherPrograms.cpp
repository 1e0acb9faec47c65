#include "PlexBrowser.h"
#include "ProfileLines.h"
#include "ProgramFixture.h"
#include "SqliteFixture.h"
#include "SyncthingBrowser.h"
#include "ViberBrowser.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

class TestOtherPrograms : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void names();
    void viberAccounts();
    void syncthingMarkers_data();
    void syncthingMarkers();
    void plexDatabases_data();
    void plexDatabases();
    void unsetVariablesFindNothing();

private:
    std::unique_ptr<ProgramFixture> fixture;
};

void TestOtherPrograms::init()
{
    fixture = std::make_unique<ProgramFixture>();
}

void TestOtherPrograms::names()
{
    ViberBrowser viber;
    SyncthingBrowser syncthing;
    PlexBrowser plex;
    QCOMPARE(QStringList({viber.name(), viber.familyName()}), QStringList({"Viber", "Viber"}));
    QCOMPARE(viber.processNames(), QStringList{"Viber"});
    QCOMPARE(viber.appNames(), QStringList({"Viber.exe", "Viber"}));
    QCOMPARE(QStringList({syncthing.name(), syncthing.familyName()}), QStringList({"Syncthing", "Syncthing"}));
    QCOMPARE(syncthing.processNames(), QStringList{"syncthing"});
    QCOMPARE(syncthing.appNames(), QStringList({"syncthing.exe", "Syncthing"}));
    QCOMPARE(QStringList({plex.name(), plex.familyName()}), QStringList({"Plex Media Server", "Plex"}));
    QCOMPARE(plex.processNames(), QStringList({"Plex Media Server", "Plex Media Scanner", "PlexScriptHost"}));
    QCOMPARE(plex.appNames(), QStringList({"Plex Media Server.exe", "Plex Media Server"}));
}

void TestOtherPrograms::viberAccounts()
{
    const QString viberPC = fixture->appData() + "/ViberPC";
    QVERIFY(fixture->makeDatabase(viberPC + "/DATA/viber.db"));
    QVERIFY(fixture->makeDatabase(viberPC + "/DATA/data.db"));
    QVERIFY(fixture->makeDatabase(viberPC + "/447700900123/viber.db"));
    QVERIFY(fixture->makeDatabase(viberPC + "/15550001111/data.db"));
    QVERIFY(fixture->makeTextFile(viberPC + "/99999/settings.ini", "x"));
    QVERIFY(fixture->makeDatabase(viberPC + "/.hidden/viber.db"));
    QVERIFY(fixture->makeTextFile(viberPC + "/viber.db", "a file, not an account"));
    ViberBrowser viber;
    viber.loadProfiles();
    QCOMPARE(profileLines(viber, viberPC), QStringList({"15550001111||/15550001111", "447700900123||/447700900123"}));
    QCOMPARE(viber.profiles().front()->family, QStringLiteral("Viber"));
}

void TestOtherPrograms::syncthingMarkers_data()
{
    QTest::addColumn<QStringList>("files"); // relative to the Syncthing folder
    QTest::addColumn<bool>("found");
    QTest::newRow("config.xml above") << QStringList{"config.xml", "index-v2/main.db"} << true;
    QTest::newRow("folder database") << QStringList{"index-v2/main.db", "index-v2/folder.abc.db"} << true;
    QTest::newRow("folder database in capitals") << QStringList{"index-v2/main.db", "index-v2/FOLDER.X.DB"} << true;
    QTest::newRow("only main.db") << QStringList{"index-v2/main.db"} << false;
    QTest::newRow("no main.db") << QStringList{"config.xml", "index-v2/folder.abc.db"} << false;
    QTest::newRow("hidden folder database") << QStringList{"index-v2/main.db", "index-v2/.folder.x.db"} << false;
}

void TestOtherPrograms::syncthingMarkers()
{
    QFETCH(QStringList, files);
    QFETCH(bool, found);
    const QString base = fixture->localAppData() + "/Syncthing";
    for (const QString& file : files)
        QVERIFY(file.endsWith(".db") ? fixture->makeDatabase(base + '/' + file)
                                     : fixture->makeTextFile(base + '/' + file, "<configuration/>"));
    SyncthingBrowser syncthing;
    syncthing.loadProfiles();
    QCOMPARE(profileLines(syncthing, base), found ? QStringList{"Default||/index-v2"} : QStringList{});
}

void TestOtherPrograms::plexDatabases_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("found");
    QTest::newRow("library") << "com.plexapp.plugins.library.db" << true;
    QTest::newRow("blobs only") << "com.plexapp.plugins.library.blobs.db" << true;
    QTest::newRow("other database") << "com.plexapp.dlna.db" << false;
}

void TestOtherPrograms::plexDatabases()
{
    QFETCH(QString, file);
    QFETCH(bool, found);
    const QString base = fixture->localAppData() + "/Plex Media Server";
    QVERIFY(fixture->makeDatabase(base + "/Plug-in Support/Databases/" + file));
    PlexBrowser plex;
    plex.loadProfiles();
    QCOMPARE(profileLines(plex, base), found ? QStringList{"Default||/Plug-in Support/Databases"} : QStringList{});
    if (found)
        QCOMPARE(plex.profiles().front()->family, QStringLiteral("Plex"));
}

void TestOtherPrograms::unsetVariablesFindNothing()
{
    QVERIFY(fixture->buildStandardTree());
    qunsetenv("LOCALAPPDATA");
    qunsetenv("APPDATA");
    ViberBrowser viber;
    SyncthingBrowser syncthing;
    PlexBrowser plex;
    for (Browser* browser : std::initializer_list<Browser*>{&viber, &syncthing, &plex}) {
        browser->loadProfiles();
        QVERIFY2(browser->profiles().empty(), qPrintable(browser->name()));
    }
}

QTEST_GUILESS_MAIN(TestOtherPrograms)
#include "tst_OtherPrograms.moc"
