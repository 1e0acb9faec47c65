// Files that are not what their names promise: FIFOs, sockets, devices and
// links to them, files that change between listing and compacting, names the
// system cannot decode. Nothing may block, nothing may be reported as a lock
// held by a running program, and nothing may be said that was not looked at.
// A blocking open makes this executable hang; ctest's short timeout catches it.
#include "Browser.h"
#include "BrowsersList.h"
#include "DatabaseFiles.h"
#include "IsolatedTestMain.h"
#include "Optimizer.h"
#include "ProgramFixture.h"
#include "RegularFile.h"
#include "SmallDisk.h"
#include "SqliteFixture.h"
#include "TestBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

bool makeLink(const QString& target, const QString& link)
{
    return QFile::link(target, link);
}

// Puts an entry of the given kind at `path`; `other` is a free path beside it
// for the target of a link.
bool makeEntry(const QString& kind, const QString& path, const QString& other, QLocalServer& server)
{
    if (kind == "fifo")
        return makeFifo(path);
    if (kind == "link to fifo")
        return makeFifo(other) && makeLink(other, path);
    if (kind == "socket")
        return server.listen(path);
    if (kind == "link to device")
        return makeLink("/dev/zero", path);
    if (kind == "folder")
        return QDir().mkpath(path);
    if (kind == "dangling link")
        return makeLink(other, path);
    return false;
}

struct RunLog
{
    QStringList lines;
    bool finished = false;
    bool fatal = false;
};

void runOptimizer(const std::vector<BrowserProfile*>& profiles, RunLog& log)
{
    Optimizer optimizer;
    QObject::connect(
        &optimizer, &Optimizer::logLine, &optimizer, [&](const QString& text, bool) { log.lines << text; },
        Qt::QueuedConnection);
    QObject::connect(
        &optimizer, &Optimizer::finished, &optimizer,
        [&](bool, bool fatal) {
            log.finished = true;
            log.fatal = fatal;
        },
        Qt::QueuedConnection);
    optimizer.start(profiles);
    QTRY_VERIFY_WITH_TIMEOUT(log.finished, 30000);
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void specialFilesAreSkippedWithoutBlocking_data();
    void specialFilesAreSkippedWithoutBlocking();
    void profileListsThatAreNoFilesAreIgnored_data();
    void profileListsThatAreNoFilesAreIgnored();
    void openFailuresAreNoLocks_data();
    void openFailuresAreNoLocks();
    void runGoesOnAfterFilesChangedUnderIt();
    void undecodableNameIsReported();
    void fullDiskIsOneFilesError();
    void namesAreShownWithVisibleControls();

private:
    QTemporaryDir m_dir;
};

void TestHostileFiles::specialFilesAreSkippedWithoutBlocking_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // what compacting that path says
    const QString notRegular = "the file is no longer a regular file";
    QTest::newRow("fifo") << "fifo" << notRegular;
    QTest::newRow("link to fifo") << "link to fifo" << notRegular;
    QTest::newRow("socket") << "socket" << notRegular;
    QTest::newRow("link to device") << "link to device" << notRegular;
    QTest::newRow("folder") << "folder" << notRegular;
    QTest::newRow("dangling link") << "dangling link"
                                   << "the file no longer exists";
}

void TestHostileFiles::specialFilesAreSkippedWithoutBlocking()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString folder = m_dir.filePath(QString("special-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
    QVERIFY(QDir().mkpath(folder));
    const QString db = folder + "/places.sqlite";
    QVERIFY(createBloatedDatabase(db, 50, 200, 10));
    QVERIFY(makeLink(db, folder + "/linked.sqlite")); // a link to a database counts
    const QString entry = folder + "/cookies.sqlite";
    QLocalServer server;
    QVERIFY(makeEntry(kind, entry, folder + "/elsewhere", server));

    const DatabaseListing listing = scanSqliteDatabases(folder, false);
    QCOMPARE(listing.files, QStringList({folder + "/linked.sqlite", db}));
    QCOMPARE(listing.sizes.size(), 2);
    QCOMPARE(listing.sizes.at(1), QFileInfo(db).size());
    QVERIFY(listing.folderError.isEmpty());
    QVERIFY(!listing.undecodableNames);

    // The entry became what it is after the listing: compacting it neither
    // blocks nor claims a running program, and leaves it as it was.
    const VacuumResult result = vacuumDatabase(entry, nullptr);
    QCOMPARE(result.status, VacuumStatus::Error);
    QCOMPARE(result.message, reason);
    QVERIFY(!result.isFatal());

    QByteArray contents;
    QVERIFY(!RegularFile::readAll(entry, contents));
    QVERIFY(contents.isEmpty());
}

void TestHostileFiles::profileListsThatAreNoFilesAreIgnored_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("asLink");
    QTest::newRow("profiles.ini is a fifo") << "Roaming/Mozilla/Firefox/profiles.ini" << false;
    QTest::newRow("profiles.ini links to a fifo") << "Roaming/Mozilla/Firefox/profiles.ini" << true;
    QTest::newRow("Local State is a fifo") << "Local/Google/Chrome/User Data/Local State" << false;
    QTest::newRow("Local State links to a fifo") << "Local/Google/Chrome/User Data/Local State" << true;
}

void TestHostileFiles::profileListsThatAreNoFilesAreIgnored()
{
    QFETCH(QString, list);
    QFETCH(bool, asLink);
    ProgramFixture fixture;
    fixture.setEnvironment();
    QVERIFY(fixture.makeFirefoxProfile(fixture.filePath("Roaming/Mozilla/Firefox/Profiles/a.default")));
    QVERIFY(fixture.makeChromiumProfile(fixture.filePath("Local/Google/Chrome/User Data/Default")));
    if (list.contains("Local State")) {
        QVERIFY(fixture.makeTextFile(fixture.filePath("Roaming/Mozilla/Firefox/profiles.ini"),
                                     "[Profile0]\nName=a.default\nIsRelative=1\nPath=Profiles/a.default\n"));
    }
    const QString listPath = fixture.filePath(list);
    if (asLink)
        QVERIFY(makeFifo(fixture.filePath("fifo")) && makeLink(fixture.filePath("fifo"), listPath));
    else
        QVERIFY(makeFifo(listPath));

    BrowsersList browsers;
    browsers.reloadAll();
    QStringList found;
    for (BrowserProfile* profile : browsers.allProfiles())
        found << profile->programName() + ":" + profile->name;
    // Firefox without its list has no profiles; Chrome falls back to its folders.
    QCOMPARE(found.contains("Firefox:a.default"), list.contains("Local State"));
    QVERIFY2(found.contains("Chrome:Default"), qPrintable(found.join(", ")));
}

void TestHostileFiles::openFailuresAreNoLocks_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("folder removed") << "remove folder"
                                    << "the folder no longer exists";
    QTest::newRow("file replaced by a folder") << "folder"
                                               << "the file is no longer a regular file";
    QTest::newRow("file replaced by a fifo") << "fifo"
                                             << "the file is no longer a regular file";
    QTest::newRow("path too long") << "long path"
                                   << "the path is too long";
}

void TestHostileFiles::openFailuresAreNoLocks()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    QString folder = m_dir.filePath("changed-" + change).replace(' ', '-');
    if (change == "long path") {
        // Real folders, each name within the system's limit, together longer
        // than SQLite takes.
        for (int i = 0; i < 3; ++i)
            folder += "/" + QString(200, QChar('a' + i));
    }
    QVERIFY(QDir().mkpath(folder));
    const QString db = folder + "/history.sqlite";
    // Made beside and moved in: SQLite could not make it at a long path.
    const QString made = m_dir.filePath("made-" + QString(QTest::currentDataTag()).replace(' ', '-'));
    QVERIFY(createBloatedDatabase(made, 50, 200, 10));
    QVERIFY(QFile::rename(made, db));
    QCOMPARE(listSqliteDatabases(folder, false), QStringList{db});

    if (change == "remove folder")
        QVERIFY(QDir(folder).removeRecursively());
    if (change == "folder" || change == "fifo")
        QVERIFY(QFile::remove(db));
    if (change == "folder")
        QVERIFY(QDir().mkdir(db));
    if (change == "fifo")
        QVERIFY(makeFifo(db));

    const VacuumResult result = vacuumDatabase(db, nullptr);
    QCOMPARE(result.status, VacuumStatus::Error);
    QCOMPARE(result.message, message);
    QVERIFY(!result.isFatal());
}

void TestHostileFiles::runGoesOnAfterFilesChangedUnderIt()
{
    const QString folder = m_dir.filePath("run");
    QVERIFY(QDir().mkpath(folder));
    for (const char* name : {"a.sqlite", "b.sqlite", "c.sqlite", "d.sqlite"})
        QVERIFY(createBloatedDatabase(folder + "/" + name, 300, 500, 20));
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("Default", folder);
    QCOMPARE(profile->databases().size(), 4);

    // After the listing: one file becomes a folder, one is emptied, one is gone.
    QVERIFY(QFile::remove(folder + "/a.sqlite"));
    QVERIFY(QDir().mkdir(folder + "/a.sqlite"));
    QVERIFY(QFile(folder + "/b.sqlite").resize(0));
    QVERIFY(QFile::remove(folder + "/c.sqlite"));
    const qint64 sizeBefore = QFileInfo(folder + "/d.sqlite").size();

    RunLog log;
    runOptimizer({profile}, log);
    QVERIFY(log.finished);
    QVERIFY(!log.fatal);
    const QStringList expectedOrder = {
        "a.sqlite...", "Error: the file is no longer a regular file",
        "b.sqlite...", "Warning: the file is encrypted or not a valid database",
        "c.sqlite...", "Error: the file no longer exists",
        "d.sqlite...",
    };
    const qsizetype start = log.lines.indexOf("a.sqlite...");
    QVERIFY2(start > 0, qPrintable(log.lines.join('\n')));
    QCOMPARE(log.lines.mid(start, expectedOrder.size()), expectedOrder);
    QVERIFY(log.lines.last().startsWith("Completed in"));
    QVERIFY(log.lines.at(log.lines.size() - 2).startsWith("Total: optimized 4 files"));
    QVERIFY(!log.lines.join('\n').contains("seems to be still running"));

    // The emptied file stays empty instead of becoming a new database.
    QCOMPARE(QFileInfo(folder + "/b.sqlite").size(), 0);
    QVERIFY(!QFileInfo::exists(folder + "/c.sqlite"));
    QVERIFY(QFileInfo(folder + "/d.sqlite").size() < sizeBefore);
}

void TestHostileFiles::undecodableNameIsReported()
{
    const QString folder = m_dir.filePath("undecodable");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(createBloatedDatabase(folder + "/good.sqlite", 50, 200, 10));
    QVERIFY(createBloatedDatabase(folder + "/bad.tmp", 50, 200, 10));
    // A name with a byte that is not UTF-8, as another system may leave it.
    const QByteArray badName = QFile::encodeName(folder) + "/bad\xff.sqlite";
    QCOMPARE(::rename(QFile::encodeName(folder + "/bad.tmp").constData(), badName.constData()), 0);

    const DatabaseListing listing = scanSqliteDatabases(folder, false);
    QCOMPARE(listing.files, QStringList{folder + "/good.sqlite"});
    QVERIFY(listing.undecodableNames);

    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("Default", folder);
    RunLog log;
    runOptimizer({profile}, log);
    QVERIFY(log.finished);
    const QString warning = "Warning: a file name in " + QDir::toNativeSeparators(folder)
        + " is not valid in the system's encoding, the file is skipped";
    QVERIFY2(log.lines.contains(warning), qPrintable(log.lines.join('\n')));
    QVERIFY(log.lines.contains("good.sqlite..."));
}

void TestHostileFiles::fullDiskIsOneFilesError()
{
    // A small file system of its own, nearly filled.
    const QString mountPoint = m_dir.filePath("small-disk");
    SmallDisk disk(mountPoint, "4m");
    if (!disk.error().isEmpty())
        QSKIP(qPrintable("cannot mount a small tmpfs here: " + disk.error()));

    const QString full = mountPoint + "/profile";
    const QString roomy = m_dir.filePath("roomy");
    QVERIFY(QDir().mkpath(full) && QDir().mkpath(roomy));
    QVERIFY(createBloatedDatabase(full + "/places.sqlite", 1500, 1000, 700));
    QVERIFY(createBloatedDatabase(roomy + "/places.sqlite", 300, 500, 20));
    const QByteArray fullHash = fileHash(full + "/places.sqlite");
    // Leave a few KiB: far less than the journal of a VACUUM.
    QVERIFY(disk.fill(8 * 4096));

    TestBrowser browser;
    std::vector<BrowserProfile*> profiles = {browser.addProfile("Full", full), browser.addProfile("Roomy", roomy)};
    RunLog log;
    runOptimizer(profiles, log);
    QVERIFY(log.finished);
    QVERIFY(!log.fatal);
    const qsizetype file = log.lines.indexOf("places.sqlite...");
    QVERIFY2(file > 0, qPrintable(log.lines.join('\n')));
    QVERIFY2(log.lines.value(file + 1).startsWith("Error: "), qPrintable(log.lines.join('\n')));
    QVERIFY(!log.lines.join('\n').contains("seems to be still running"));
    // The run went on to the next profile and ended normally.
    QVERIFY(log.lines.contains("Optimizing Roomy"));
    QVERIFY(log.lines.last().startsWith("Completed in"));
    // The database on the full disk is the one it was.
    QCOMPARE(integrityCheck(full + "/places.sqlite"), QString("ok"));
    QCOMPARE(fileHash(full + "/places.sqlite"), fullHash);
}

void TestHostileFiles::namesAreShownWithVisibleControls()
{
    TestBrowser browser;
    BrowserProfile* profile = browser.addProfile("Work\nError: forged\x1b]0;t\a", m_dir.path());
    QCOMPARE(profile->displayName(), QString("Work\u240AError: forged\u241B]0;t\u2407"));
    profile->title = "A\u202Eb\u0085c\x7f";
    QCOMPARE(profile->displayName(), QString("A\uFFFDb\uFFFDc\u2421"));
    // What is kept is the real name.
    QCOMPARE(profile->name, QString("Work\nError: forged\x1b]0;t\a"));
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestHostileFiles, QCoreApplication>(argc, argv);
}

#include "tst_HostileFiles.moc"
