// Profile discovery on Windows: every supported program's data folders laid
// out under the prefix's own %APPDATA% and %LOCALAPPDATA%, found with Windows
// paths, and their databases compacted in place.
#include "BrowserProfile.h"
#include "BrowsersList.h"
#include "DatabaseFiles.h"
#include "ProgramFixture.h"
#include "ProgramLocation.h"
#include "SqliteFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using TestSupport::ExpectedProfile;
using TestSupport::ProgramFixture;

class TestProfilesWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dataFoldersAreTheUsers();
    void discoversEveryProgram();
    void compactsInPlace();

private:
    // The user's AppData, whose Local and Roaming are LOCALAPPDATA and APPDATA.
    std::unique_ptr<ProgramFixture> m_fixture;
};

void TestProfilesWin::initTestCase()
{
    const QString local = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
    const QString roaming = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    QVERIFY2(!local.isEmpty() && !roaming.isEmpty(), "Wine sets both from the prefix");
    const QString appData = QFileInfo(local).path();
    QCOMPARE(local, appData + "/Local");
    QCOMPARE(roaming, appData + "/Roaming");
    m_fixture = std::make_unique<ProgramFixture>(appData);
    QVERIFY(m_fixture->buildStandardTree());
}

void TestProfilesWin::dataFoldersAreTheUsers()
{
    QCOMPARE(localAppDataDir(), m_fixture->localAppData());
    QCOMPARE(appDataDir(), m_fixture->appData());
    // A drive letter, forward slashes only.
    QCOMPARE(localAppDataDir().mid(1, 2), QStringLiteral(":/"));
    QVERIFY(!localAppDataDir().contains('\\'));
}

void TestProfilesWin::discoversEveryProgram()
{
    BrowsersList list;
    list.reloadAll();
    list.loadDatabaseLists();

    QStringList expected;
    for (const ExpectedProfile& profile : m_fixture->expected())
        expected << QStringList{profile.program, profile.name, profile.title, profile.path}.join('|');
    QStringList actual;
    for (const BrowserProfile* profile : list.allProfiles()) {
        actual << QStringList{profile->programName(), profile->name, profile->title, profile->path}.join('|');
        QVERIFY2(profile->databasesLoaded && !profile->databaseFiles.isEmpty(), qPrintable(profile->path));
        for (const QString& database : profile->databaseFiles)
            QVERIFY2(database.startsWith(profile->path + '/', Qt::CaseInsensitive), qPrintable(database));
    }
    QCOMPARE(actual, expected);
    QCOMPARE(list.browsersWithProfiles().size(), size_t(30));
}

void TestProfilesWin::compactsInPlace()
{
    BrowsersList list;
    list.reloadAll();
    list.loadDatabaseLists();
    const std::vector<BrowserProfile*> profiles = list.allProfiles();
    QVERIFY(!profiles.empty());
    const BrowserProfile* firefox = profiles.front();
    QCOMPARE(firefox->programName(), QStringLiteral("Firefox"));
    for (const QString& database : firefox->databaseFiles) {
        const qint64 before = QFileInfo(database).size();
        const int rows = TestSupport::rowCount(database);
        const VacuumResult result = vacuumDatabase(database, nullptr);
        QVERIFY2(result.status == VacuumStatus::Ok, qPrintable(database + ": " + result.message));
        QVERIFY2(QFileInfo(database).size() < before, qPrintable(database));
        QCOMPARE(TestSupport::rowCount(database), rows);
        QCOMPARE(TestSupport::integrityCheck(database), QStringLiteral("ok"));
    }
}

QTEST_GUILESS_MAIN(TestProfilesWin)
#include "tst_Profiles_win.moc"
