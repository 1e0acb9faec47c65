// The update service end to end: the real main window in a process of its
// own, a real HTTPS feed server on 127.0.0.1 with a CA made for the test, and
// a downloaded "installer" that is a script recording that it ran.
#include "FeedServer.h"
#include "ProductIdentity.h"
#include "TestWorld.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const char feedPath[] = "/update/quorbilan.xml.gz";
const char installerPath[] = "/download/quorbilan-3.2-setup.sh";

// The first of `expected` that does not come after the ones before it in
// `lines`; empty when all do.
QString firstOutOfOrder(const QStringList& lines, const QStringList& expected)
{
    int at = -1;
    for (const QString& line : expected) {
        at = lines.indexOf(line, at + 1);
        if (at < 0)
            return line;
    }
    return {};
}

// The settings of a user who turned automatic checks off.
void turnAutomaticChecksOff(const QString& world)
{
    QDir().mkpath(QFileInfo(settingsFileIn(world)).path());
    QSettings settings(settingsFileIn(world), QSettings::IniFormat);
    settings.setValue("UpdateChecker_Auto", 0);
}

} // namespace

class tst_UpdateService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void findDownloadAndInstall();
    void automaticChecksOff();
    void skipHidesLink();
    void quitDuringStartUpCheck_data();
    void quitDuringStartUpCheck();
    void manualCheckDuringSlowCheck();
    void scheduledCheckAfterManualIsSilent();

private:
    // Runs the scenario in a new world below `world`; its output lines.
    // `extra` adds to or replaces its environment.
    QStringList runScenario(const QString& world, const QString& scenario, const QString& feedUrl,
                            int* exitCode = nullptr, qint64* tookMs = nullptr,
                            const QProcessEnvironment& extra = QProcessEnvironment());
    // An environment whose trust store is a FIFO in `world`: a check that
    // reads it blocks until the scenario writes it. Empty when the FIFO cannot
    // be made.
    QProcessEnvironment blockingTrustStore(const QString& world) const;
    QString readLog(const QString& world) const;

    QTemporaryDir root;
    TestCertificates certificates;
    FeedServer server;
};

void tst_UpdateService::initTestCase()
{
    QVERIFY(certificates.make(root.path() + "/certs"));
    QVERIFY(server.start(root.path() + "/www", certificates.certFile, certificates.keyFile));
    server.put(feedPath, gzipped(exampleFeed(server.url(installerPath), "saveToDownloads=\"\"")));
    server.put(installerPath, "#!/bin/sh\necho \"installer ran\" >> \"$SCENARIO_LOG\"\n");
    server.put("/stall.xml.gz", QByteArray());
    server.stall("/stall.xml.gz");
}

QStringList tst_UpdateService::runScenario(const QString& world, const QString& scenario, const QString& feedUrl,
                                           int* exitCode, qint64* tookMs, const QProcessEnvironment& extra)
{
    QProcessEnvironment env = worldEnvironment(world);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUORBILAN_UPDATE_URL", feedUrl);
    env.insert("QUORBILAN_UPDATE_CA", certificates.caFile);
    env.insert("SCENARIO", scenario);
    env.insert("SCENARIO_LOG", world + "/scenario.log");
    env.insert("SCENARIO_SERVER_LOG", server.root() + "/requests.log");
    env.insert("SCENARIO_CA", certificates.caFile);
    env.insert(extra);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(UPDATE_SCENARIO), {});
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    if (tookMs)
        *tookMs = clock.elapsed();
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QString tst_UpdateService::readLog(const QString& world) const
{
    QFile log(world + "/scenario.log");
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

void tst_UpdateService::findDownloadAndInstall()
{
    const QString world = root.path() + "/install";
    // The plain name and the first numbered one are taken already.
    const QString downloads = world + "/home/Downloads";
    QDir().mkpath(downloads);
    for (const char* name : {"quorbilan-3.2-setup.sh", "quorbilan-3.2-setup (1).sh"}) {
        QFile file(downloads + "/" + QString::fromUtf8(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const int before = server.requests().size();

    int exitCode = -1;
    const QStringList lines = runScenario(world, "install", server.url(feedPath), &exitCode);
    QVERIFY2(exitCode == 0, qPrintable(lines.join('\n')));

    // Two announcements, one link and one connection; the silent find plans nothing more.
    QVERIFY2(lines.contains("link <a href=\"update\">A new version is available</a>"), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains("link connections 1"));
    QVERIFY(lines.contains("timer after silent find stopped"));

    // "Check for updates..." opens the update dialog with the notes of 3.2.
    const QStringList expected = {
        "dialog title Software Update",
        "dialog headline <b>A new version of Quorbilan is available!</b>",
        "dialog text " QUORBILAN_PRODUCT_NAME " 3.2 is now available - you have " QUORBILAN_VERSION_TEXT
        ". Would you like to download it now?",
        "dialog notes 3.2",
        "download dialog Updating Quorbilan",
        "download status <b>Ready to Install</b>",
        "window closed",
        "event loop ended",
    };
    const QString missing = firstOutOfOrder(lines, expected);
    QVERIFY2(missing.isEmpty(), qPrintable(missing + "\n---\n" + lines.join('\n')));

    // The file lands under the next free number and is started after the window closed.
    const QString saved = downloads + "/quorbilan-3.2-setup (2).sh";
    QVERIFY(QFileInfo::exists(saved));
    QVERIFY(QTest::qWaitFor([&] { return readLog(world).contains("installer ran"); }, 20000));
    const QString log = readLog(world);
    QVERIFY2(log.indexOf("window closed") < log.indexOf("installer ran"), qPrintable(log));

    // The silent check fetched the feed; the user's check asked whether it
    // changed, got 304 and showed the feed it had.
    const QStringList requests = server.requests().mid(before);
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[0], QString("%1 200 -").arg(feedPath));
    QVERIFY2(requests[1].startsWith(QString("%1 304 ").arg(feedPath)) && !requests[1].endsWith(" -"),
             qPrintable(requests[1]));
    QCOMPARE(requests[2], QString("%1 200 -").arg(installerPath));

    // The first start wrote the service's keys; the user's check cleared the schedule.
    QSettings settings(settingsFileIn(world), QSettings::IniFormat);
    QCOMPARE(settings.value("UpdateChecker_Auto").toString(), QStringLiteral("1"));
    QVERIFY(settings.contains("UpdateChecker_NextCheck"));
    QVERIFY(settings.contains("UpdateChecker_SkipVersion"));
}

void tst_UpdateService::automaticChecksOff()
{
    const QString world = root.path() + "/autooff";
    turnAutomaticChecksOff(world);
    const int before = server.requests().size();
    int exitCode = -1;
    const QStringList lines = runScenario(world, "autoOff", server.url(feedPath), &exitCode);
    QVERIFY2(exitCode == 0, qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("timer at start stopped"), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains("dialog title Software Update"));
    // One request only: the user's check.
    QCOMPARE(server.requests().mid(before), QStringList{QString("%1 200 -").arg(feedPath)});
    QSettings settings(settingsFileIn(world), QSettings::IniFormat);
    QCOMPARE(settings.value("UpdateChecker_Auto").toString(), QStringLiteral("0"));

    // "Remind Me Later" waits a day, although automatic checks were off from the start.
    QVERIFY2(lines.contains(QString("timer after remind %1 ms").arg(24 * 3600 * 1000)), qPrintable(lines.join('\n')));
    const QDateTime next = QDateTime::fromString(settings.value("UpdateChecker_NextCheck").toString(), Qt::ISODate);
    const qint64 ahead = QDateTime::currentDateTime().secsTo(next);
    QVERIFY2(ahead > 23 * 3600 && ahead <= 24 * 3600, qPrintable(settings.value("UpdateChecker_NextCheck").toString()));
}

void tst_UpdateService::skipHidesLink()
{
    const QString world = root.path() + "/skip";
    int exitCode = -1;
    const QStringList lines = runScenario(world, "skip", server.url(feedPath), &exitCode);
    QVERIFY2(exitCode == 0, qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("link shown"), qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("link after skip hidden"), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains("link after the next version shown"));
    QSettings settings(settingsFileIn(world), QSettings::IniFormat);
    QCOMPARE(settings.value("UpdateChecker_SkipVersion").toString(), QStringLiteral("3.2"));
}

void tst_UpdateService::quitDuringStartUpCheck_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("feed");
    QTest::addColumn<bool>("trustStoreBlocks");
    // What the scenario says when the check it quits during never got stuck.
    QTest::addColumn<QString>("notStuck");
    QTest::addColumn<QStringList>("requests");
    QTest::newRow("server never answers")
        << "quitDuringStall"
        << "/stall.xml.gz" << false << "no stalled request" << QStringList{"/stall.xml.gz stall -"};
    // Stuck for good before any request goes out.
    QTest::newRow("trust store blocks") << "quitDuringSlowCheck" << feedPath << true << "no stuck start-up check"
                                        << QStringList();
}

void tst_UpdateService::quitDuringStartUpCheck()
{
    QFETCH(QString, scenario);
    QFETCH(QString, feed);
    QFETCH(bool, trustStoreBlocks);
    QFETCH(QString, notStuck);
    QFETCH(QStringList, requests);
    const QString world = root.path() + "/" + scenario;
    QProcessEnvironment extra;
    if (trustStoreBlocks) {
        extra = blockingTrustStore(world);
        QVERIFY(!extra.isEmpty());
    }
    const int before = server.requests().size();
    int exitCode = -1;
    qint64 took = 0;
    const QStringList lines = runScenario(world, scenario, server.url(feed), &exitCode, &took, extra);
    qInfo("the whole run with its quit took %lld ms", took);
    // The check never ends; the process does, with the event loop's exit code.
    QVERIFY2(exitCode == 0, qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("closing"), qPrintable(lines.join('\n')));
    QVERIFY2(!lines.contains(notStuck), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains("event loop ended"));
    QVERIFY2(lines.filter("signal ").isEmpty(), qPrintable(lines.join('\n')));
    QCOMPARE(server.requests().mid(before), requests);
}

QProcessEnvironment tst_UpdateService::blockingTrustStore(const QString& world) const
{
    QDir().mkpath(world);
    const QString fifo = world + "/ca.fifo";
    if (mkfifo(QFile::encodeName(fifo).constData(), 0600) != 0)
        return {};
    QProcessEnvironment env;
    env.insert("QUORBILAN_UPDATE_CA", fifo);
    return env;
}

void tst_UpdateService::manualCheckDuringSlowCheck()
{
    const QString world = root.path() + "/slow";
    const QProcessEnvironment extra = blockingTrustStore(world);
    QVERIFY(!extra.isEmpty());
    int exitCode = -1;
    const QStringList lines
        = runScenario(world, "manualDuringSlowCheck", server.url(feedPath), &exitCode, nullptr, extra);
    QVERIFY2(exitCode == 0, qPrintable(lines.join('\n')));

    // The menu answered while the start-up check was stuck, and said that
    // the user's check runs.
    const QStringList expected = {
        "menu returned",
        "menu item while checking disabled",
        "signal updateAvailable 3.2",
        "dialog title Software Update",
        "menu item after the check enabled",
        "event loop ended",
    };
    const QString missing = firstOutOfOrder(lines, expected);
    QVERIFY2(missing.isEmpty(), qPrintable(missing + "\n---\n" + lines.join('\n')));
    QVERIFY(!lines.contains("no stuck start-up check"));
    // The stuck check it replaced reported nothing.
    QCOMPARE(lines.filter("signal ").size(), 1);
}

void tst_UpdateService::scheduledCheckAfterManualIsSilent()
{
    const QString world = root.path() + "/manualthenscheduled";
    turnAutomaticChecksOff(world);
    server.put("/uptodate.xml.gz",
               gzipped("<?xml version=\"1.0\"?><quorbilan><download windows=\"https://127.0.0.1/x.exe\"/><history>"
                       "<version name=\"" QUORBILAN_VERSION_TEXT "\" date=\"1.1.2026\"/></history></quorbilan>"));
    QProcessEnvironment extra;
    extra.insert("SCENARIO_NEXT_FEED", server.url(feedPath));
    int exitCode = -1;
    const QStringList lines
        = runScenario(world, "manualThenScheduled", server.url("/uptodate.xml.gz"), &exitCode, nullptr, extra);
    QVERIFY2(exitCode == 0, qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("message You're up to date!"), qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("signal updateAvailable 3.2"), qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains("scheduled find showed the link only"), qPrintable(lines.join('\n')));
}

QTEST_GUILESS_MAIN(tst_UpdateService)
#include "tst_UpdateService.moc"
