#include "AppSettings.h"
#include "BrowsersList.h"
#include "ProgramFixture.h"
#include "SettingsKeys.h"
#include "TestWorld.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

class TestProfileSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void splitEntry_data();
    void splitEntry();
    void customProfilesRoundTrip();
    void customProfilesRedetectedAndDropped();
    void emptySelectionTicksEverything();
    void selectionUnticksNewProfilesIgnoringCase();
    void nullStoreDoesNothing();

private:
    // A store of its own for each test, with the keys as the application registers them.
    std::unique_ptr<AppSettings> makeStore();
    QString makeFolder(const QString& name, const QStringList& databases);

    QTemporaryDir userDir;
    std::unique_ptr<ProgramFixture> fixture;
    QByteArray fixtureFunction;
};

void TestProfileSettings::initTestCase()
{
    isolateWorld(userDir.path());
}

// One tree per test function: the rows of a data-driven one share it.
void TestProfileSettings::init()
{
    if (fixture && fixtureFunction == QTest::currentTestFunction())
        return;
    fixture = std::make_unique<ProgramFixture>();
    fixtureFunction = QTest::currentTestFunction();
    QVERIFY(fixture->buildStandardTree());
}

std::unique_ptr<AppSettings> TestProfileSettings::makeStore()
{
    auto store = std::make_unique<AppSettings>(QString::fromLatin1(QTest::currentTestFunction()),
                                               QStringLiteral("Tulverhaven Software"));
    store->registerValueStringList(SettingSelectedProfiles, {});
    store->registerValueStringList(SettingCustomProfiles, {});
    return store;
}

QString TestProfileSettings::makeFolder(const QString& name, const QStringList& databases)
{
    const QString folder = fixture->root() + "/custom/" + name;
    QDir().mkpath(folder);
    for (const QString& file : databases)
        fixture->makeDatabase(folder + '/' + file);
    return folder;
}

void TestProfileSettings::splitEntry_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("path");
    QTest::newRow("family and path") << "Mozilla\tD:/Portable/Profile" << true << "Mozilla"
                                     << "D:/Portable/Profile";
    QTest::newRow("no family") << "\tD:/P" << true << ""
                               << "D:/P";
    QTest::newRow("later tabs stay in the path") << "Plex\ta\tb" << true << "Plex"
                                                 << "a\tb";
    QTest::newRow("empty path") << "Mozilla\t" << false << "Mozilla"
                                << "";
    QTest::newRow("no tab") << "Mozilla D:/P" << false << "unchanged"
                            << "unchanged";
}

void TestProfileSettings::splitEntry()
{
    QFETCH(QString, entry);
    QFETCH(bool, ok);
    QFETCH(QString, family);
    QFETCH(QString, path);
    QString actualFamily = "unchanged";
    QString actualPath = "unchanged";
    QCOMPARE(splitSettingsEntry(entry, actualFamily, actualPath), ok);
    QCOMPARE(actualFamily, family);
    QCOMPARE(actualPath, path);
}

void TestProfileSettings::customProfilesRoundTrip()
{
    const QString mozilla = makeFolder("Portable Firefox", {"places.sqlite"});
    const QString plain = makeFolder("Plain", {"notes.db"});
    auto store = makeStore();
    {
        BrowsersList list;
        list.reloadAll();
        QVERIFY(list.addCustomProfile(mozilla));
        QVERIFY(list.addCustomProfile(plain + "/"));
        list.saveSettings(store.get());
    }
    QCOMPARE(store->valueStringList(SettingCustomProfiles), QStringList({"Mozilla\t" + mozilla, "\t" + plain}));

    BrowsersList list;
    list.reloadAll();
    list.loadSettings(store.get());
    QCOMPARE(list.customProfiles().size(), size_t(2));
    QCOMPARE(list.customProfiles()[0]->displayName(), QStringLiteral("Portable Firefox  [Mozilla]"));
    QCOMPARE(list.customProfiles()[1]->path, plain);
    QCOMPARE(list.customProfiles()[1]->name, QStringLiteral("Plain"));
}

void TestProfileSettings::customProfilesRedetectedAndDropped()
{
    const QString nowChromium = makeFolder("was firefox", {"History", "Cookies"});
    const QString trailing = makeFolder("trailing", {"data.db"});
    const QString emptied = makeFolder("emptied", {});
    const QString deleted = fixture->root() + "/custom/deleted";
    const QString known = fixture->localAppData() + "/Google/Chrome/User Data/Default";
    auto store = makeStore();
    store->setValueStringList(SettingCustomProfiles,
                              {"Mozilla\t" + nowChromium, "no tab " + trailing, "Viber\t" + trailing + "/",
                               "Plex\t" + emptied, "Mozilla\t" + deleted, "Chromium\t", "Viber\t" + trailing,
                               "\t" + known});

    BrowsersList list;
    list.reloadAll();
    const size_t programProfiles = list.allProfiles().size();
    list.loadSettings(store.get());
    QCOMPARE(list.allProfiles().size(), programProfiles + 2);
    QCOMPARE(list.customProfiles()[0]->family, QStringLiteral("Chromium"));
    QCOMPARE(list.customProfiles()[1]->path, trailing);

    list.saveSettings(store.get());
    QCOMPARE(store->valueStringList(SettingCustomProfiles),
             QStringList({"Chromium\t" + nowChromium, "Viber\t" + trailing}));
}

void TestProfileSettings::emptySelectionTicksEverything()
{
    auto store = makeStore();
    BrowsersList list;
    list.reloadAll();
    QVERIFY(list.addCustomProfile(makeFolder("C", {"c.db"})));
    list.loadSettings(store.get());
    for (BrowserProfile* profile : list.allProfiles())
        QVERIFY(profile->selected);

    // Everything unticked and saved: the stored list is empty, so the next
    // start ticks everything again.
    for (BrowserProfile* profile : list.allProfiles())
        profile->selected = false;
    list.saveSettings(store.get());
    QCOMPARE(store->valueStringList(SettingSelectedProfiles), QStringList());
    BrowsersList next;
    next.reloadAll();
    next.loadSettings(store.get());
    QVERIFY(!next.allProfiles().empty());
    for (BrowserProfile* profile : next.allProfiles())
        QVERIFY(profile->selected);
}

void TestProfileSettings::selectionUnticksNewProfilesIgnoringCase()
{
    const QString chrome = fixture->localAppData() + "/Google/Chrome/User Data";
    const QString custom = makeFolder("C", {"c.db"});
    auto store = makeStore();
    store->setValueStringList(SettingSelectedProfiles,
                              {(chrome + "/PROFILE 1").toUpper(), chrome + "/Default", custom.toLower()});
    store->setValueStringList(SettingCustomProfiles, {"\t" + custom});

    // A profile created since the last run: found now, not in the list.
    QVERIFY(fixture->makeChromiumProfile(chrome + "/Profile 7"));
    BrowsersList list;
    list.reloadAll();
    list.loadSettings(store.get());
    QStringList ticked;
    for (BrowserProfile* profile : list.allProfiles()) {
        if (profile->selected)
            ticked << profile->path;
    }
    QCOMPARE(ticked, QStringList({chrome + "/Default", chrome + "/Profile 1", custom}));
    QVERIFY(list.findProfileByPath(chrome + "/Profile 7"));

    list.saveSettings(store.get());
    QCOMPARE(store->valueStringList(SettingSelectedProfiles), ticked);
}

void TestProfileSettings::nullStoreDoesNothing()
{
    BrowsersList list;
    list.reloadAll();
    list.loadSettings(nullptr);
    list.saveSettings(nullptr);
    for (BrowserProfile* profile : list.allProfiles())
        QVERIFY(profile->selected);
}

QTEST_GUILESS_MAIN(TestProfileSettings)
#include "tst_ProfileSettings.moc"
