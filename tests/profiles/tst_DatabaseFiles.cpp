#include "DatabaseFiles.h"
#include "SqliteFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

class TestDatabaseFiles : public QObject
{
    Q_OBJECT

private slots:
    void listsOnlyDatabasesDirectlyInTheFolder();
    void listingOfMissingOrEmptyFolder();
    void vacuumShrinksAndKeepsData();
    void vacuumOutcomes_data();
    void vacuumOutcomes();
    void busyWhileAnotherProcessHoldsTheLock_data();
    void busyWhileAnotherProcessHoldsTheLock();
    void stopFlagCancelsAndLeavesFileUnchanged();
    void vanishedFileIsNotRecreated();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

void TestDatabaseFiles::listsOnlyDatabasesDirectlyInTheFolder()
{
    QTemporaryDir dir;
    const auto p = [&](const QString& n) { return dir.filePath(n); };
    QVERIFY(createBloatedDatabase(p("B.db"), 10, 100, 5));
    QVERIFY(createBloatedDatabase(p("a.sqlite"), 10, 100, 5));
    QVERIFY(createBloatedDatabase(p(".hidden.sqlite"), 10, 100, 5));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(createBloatedDatabase(p("sub/inner.sqlite"), 10, 100, 5));
    QVERIFY(writeFile(p("notes.txt"), "just some text, long enough to pass sixteen bytes\n"));
    QVERIFY(writeFile(p("ten.bin"), QByteArray("SQLite for", 10)));
    QVERIFY(writeFile(p("empty"), QByteArray()));
    QVERIFY(writeFile(p("almost.db"), QByteArray("SQLite format 3X", 16)));

    const QStringList expected = {p("a.sqlite"), p("B.db")};
    QCOMPARE(listSqliteDatabases(dir.path(), false), expected);

    // Recursion is there for completeness; nothing in the program asks for it.
    QVERIFY(listSqliteDatabases(dir.path(), true).contains(p("sub/inner.sqlite")));
}

void TestDatabaseFiles::listingOfMissingOrEmptyFolder()
{
    QVERIFY(listSqliteDatabases(QString(), false).isEmpty());
    QVERIFY(listSqliteDatabases(path("no-such-folder"), false).isEmpty());
    QVERIFY(writeFile(path("plain-file"), "SQLite format 3\0rest"));
    QVERIFY(listSqliteDatabases(path("plain-file"), false).isEmpty());
}

void TestDatabaseFiles::vacuumShrinksAndKeepsData()
{
    const QString db = path("bloated.sqlite");
    QVERIFY(createBloatedDatabase(db, 2000, 1000, 100));
    const qint64 before = QFileInfo(db).size();

    const std::atomic<bool> stop{false};
    const VacuumResult result = vacuumDatabase(db, &stop);
    QCOMPARE(result.status, VacuumStatus::Ok);
    QVERIFY(result.message.isEmpty());
    QVERIFY(!result.isFatal());
    QVERIFY2(QFileInfo(db).size() < before / 5, "the file did not shrink");
    QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
    QCOMPARE(rowCount(db), 100);

    // Without a flag the statement simply runs to its end.
    QCOMPARE(vacuumDatabase(db, nullptr).status, VacuumStatus::Ok);
}

void TestDatabaseFiles::vacuumOutcomes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: no file is written
    QTest::addColumn<VacuumStatus>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("fatal");

    QByteArray garbage("SQLite format 3", 16);
    garbage += QByteArray(8192, '\x5a');
    QTest::newRow("valid header, garbage body")
        << "garbage.db" << garbage << VacuumStatus::NotADatabase << "file is not a database" << false;
    // A real database cut in half: SQLite reports the damage as SQLITE_CORRUPT.
    const QString whole = path("whole.sqlite");
    QVERIFY(createBloatedDatabase(whole, 400, 1000, 400));
    QFile wholeFile(whole);
    QVERIFY(wholeFile.open(QIODevice::ReadOnly));
    const QByteArray truncated = wholeFile.read(wholeFile.size() / 2);
    QTest::newRow("truncated database") << "truncated.sqlite" << truncated << VacuumStatus::Error
                                        << "database disk image is malformed" << false;
    // A folder removed during a run is no sign of a running program.
    QTest::newRow("missing folder") << "no-such-folder/x.sqlite" << QByteArray() << VacuumStatus::Error
                                    << "the folder no longer exists" << false;
}

void TestDatabaseFiles::vacuumOutcomes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(VacuumStatus, status);
    QFETCH(QString, message);
    QFETCH(bool, fatal);

    if (!content.isEmpty())
        QVERIFY(writeFile(path(name), content));
    const VacuumResult result = vacuumDatabase(path(name), nullptr);
    QCOMPARE(result.status, status);
    QCOMPARE(result.message, message);
    QCOMPARE(result.isFatal(), fatal);
}

void TestDatabaseFiles::busyWhileAnotherProcessHoldsTheLock_data()
{
    QTest::addColumn<QString>("transaction");
    QTest::newRow("exclusive") << "BEGIN EXCLUSIVE";
    QTest::newRow("immediate") << "BEGIN IMMEDIATE";
}

void TestDatabaseFiles::busyWhileAnotherProcessHoldsTheLock()
{
    QFETCH(QString, transaction);
    const QString db = path("locked-" + QString(QTest::currentDataTag()) + ".sqlite");
    QVERIFY(createBloatedDatabase(db, 500, 1000, 10));
    const QByteArray before = fileHash(db);

    LockHolder lock(db, transaction);
    QVERIFY2(lock.isHolding(), "the second process did not take the lock");
    const std::atomic<bool> stop{false};
    QElapsedTimer clock;
    clock.start();
    const VacuumResult result = vacuumDatabase(db, &stop);
    QCOMPARE(result.status, VacuumStatus::Busy);
    QVERIFY(result.isFatal());
    QVERIFY(!result.message.isEmpty());
    QVERIFY2(clock.elapsed() < 5000, "VACUUM waited for the lock instead of failing at once");
    lock.release();

    QCOMPARE(fileHash(db), before);
}

void TestDatabaseFiles::stopFlagCancelsAndLeavesFileUnchanged()
{
    const QString db = path("stopped.sqlite");
    QVERIFY(createBloatedDatabase(db, 3000, 1000, 200));
    const QByteArray before = fileHash(db);

    const std::atomic<bool> stop{true};
    const VacuumResult result = vacuumDatabase(db, &stop);
    QCOMPARE(result.status, VacuumStatus::Cancelled);
    QVERIFY(!result.isFatal());
    QCOMPARE(fileHash(db), before);
    QVERIFY(!QFileInfo::exists(db + "-journal"));
}

void TestDatabaseFiles::vanishedFileIsNotRecreated()
{
    const QString db = path("vanished.sqlite");
    QVERIFY(createBloatedDatabase(db, 10, 100, 5));
    const QStringList listed = listSqliteDatabases(m_dir.path(), false);
    QVERIFY(listed.contains(db));
    QVERIFY(QFile::remove(db));

    const VacuumResult result = vacuumDatabase(db, nullptr);
    QCOMPARE(result.status, VacuumStatus::Error);
    QVERIFY(!result.isFatal());
    QCOMPARE(result.message, QStringLiteral("the file no longer exists"));
    QVERIFY(!QFileInfo::exists(db));
}

QTEST_GUILESS_MAIN(TestDatabaseFiles)
#include "tst_DatabaseFiles.moc"
