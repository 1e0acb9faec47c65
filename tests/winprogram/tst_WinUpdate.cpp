// The update service of the Windows program under Wine, over schannel: the
// real quorbilan.exe checks a local HTTPS server whose certificate the test's
// CA signed (QUORBILAN_UPDATE_URL, QUORBILAN_UPDATE_CA). Help > "Check for
// updates..." finds the newer version and shows the update dialog; "Install
// Update" downloads the installer into a temporary folder of the prefix, and
// "Install and Relaunch" ends the program and starts that installer as it
// goes. The installer served is installer_probe.exe, which notes how it was
// started. The test CA is trusted through the prefix's root store: Wine
// cannot take it the program's way (trust_ca.cpp says why).
#include "FeedServer.h"
#include "ProductIdentity.h"
#include "WineDesktop.h"
#include "WineProgram.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString product = QStringLiteral(QUORBILAN_PRODUCT_NAME);
const QString mainTitle = product + QStringLiteral(" " QUORBILAN_VERSION_TEXT);

// Every file below `folder` named `fileName`.
QStringList filesNamed(const QString& folder, const QString& fileName)
{
    QStringList found;
    QDirIterator it(folder, {fileName}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString helperPath(const QString& name)
{
    return WinePrefix::windowsBuildDir() + QStringLiteral("/tests/windows/helpers/") + name;
}

// A path the program saw (C:\... inside the prefix, Z:\... for the Linux
// file system) as a Linux path.
QString linuxPath(const WinePrefix& prefix, QString windowsPath)
{
    windowsPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (windowsPath.startsWith(QStringLiteral("C:/"), Qt::CaseInsensitive))
        return prefix.path() + QStringLiteral("/drive_c") + windowsPath.mid(2);
    if (windowsPath.startsWith(QStringLiteral("Z:/"), Qt::CaseInsensitive))
        return windowsPath.mid(2);
    return windowsPath;
}

bool samePath(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

// What installer_probe noted: its arguments in order, and its other
// "name=value" lines.
struct ProbeRecord
{
    QStringList arguments;
    QMap<QString, QString> values;

    QString value(const char* name) const { return values.value(QLatin1String(name)); }
};

ProbeRecord readRecord(const QString& path)
{
    ProbeRecord record;
    for (const QString& line : QString::fromUtf8(contents(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.left(equals) == QLatin1String("arg"))
            record.arguments << line.mid(equals + 1);
        else
            record.values.insert(line.left(equals), line.mid(equals + 1));
    }
    return record;
}

// Where the install button is once the download is ready, as a point of the
// dialog's window: the buttons sit at the bottom right, and this lies on the
// wide "Install and Relaunch" but left of where the narrower "Cancel" stood
// until then, over empty space. A click before the download is ready
// therefore does nothing, and Return would press Cancel, which has the focus
// until then.
QPoint installButtonSpot(const QSize& dialog)
{
    // Measured under Wine: the 393 x 127 window has "Install and Relaunch" at
    // x 230-378 and "Cancel" at 303-378, both at y 89-111.
    return {dialog.width() * 68 / 100, dialog.height() - 27};
}

} // namespace

class TestWinUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void manualCheckFindsTheUpdateAndDownloadsIt();
    void installAndRelaunchHandsOverToTheInstaller_data();
    void installAndRelaunchHandsOverToTheInstaller();
    void quittingWithoutInstallingStartsNothing();
    void failedDownloadIsNeitherKeptNorStarted_data();
    void failedDownloadIsNeitherKeptNorStarted();

private:
    // One run of the program in a prefix of its own against a feed server of
    // its own, whose newer version's installer lies at `installerPath`.
    struct Run
    {
        ~Run()
        {
            if (program.state() != QProcess::NotRunning) {
                program.kill();
                program.waitForFinished(60000);
            }
        }

        WinePrefix prefix;
        FeedServer server;
        QProcess program;
        QString folder;
    };
    void serve(Run& run, const QString& installerPath);
    // Starts the deployed program in `cwd`, checks for updates by
    // hand and installs the update; returns with the download dialog open.
    void openDownload(Run& run, const QString& cwd);
    // Serves the probe as the installer at `installerPath`, starts the
    // deployed program in the run's folder `cwdName` and downloads the probe;
    // returns with the dialog open and the saved file's path in `saved`.
    void downloadProbe(Run& run, const QString& installerPath, const QString& fileName, const QString& cwdName,
                       QString& saved);
    void exitByMenu(Run& run);
    // No installer named `fileName` runs or ever ran in the prefix.
    void verifyNotStarted(Run& run, const QString& fileName);

    QTemporaryDir world;
    TestCertificates certificates;
    QByteArray probe;
};

void TestWinUpdate::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (ctest runs this under xvfb-run)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool (scripts/setup.sh installs it)");
    QVERIFY(world.isValid());
    QVERIFY(certificates.make(world.filePath(QStringLiteral("certs"))));
    probe = contents(helperPath(QStringLiteral("installer_probe.exe")));
    QVERIFY(!probe.isEmpty());
}

void TestWinUpdate::manualCheckFindsTheUpdateAndDownloadsIt()
{
    Run run;
    const QString installerPath = QStringLiteral("/download/QuorbilanSetup.exe");
    serve(run, installerPath);
    if (QTest::currentTestFailed())
        return;
    QByteArray installer(300 * 1024, Qt::Uninitialized);
    for (char& byte : installer)
        byte = char(QRandomGenerator::global()->bounded(256));
    run.server.put(installerPath, installer);
    openDownload(run, run.folder);
    if (QTest::currentTestFailed())
        return;

    // The one check fetched the feed, then "Install Update" the installer.
    QTRY_VERIFY2_WITH_TIMEOUT(run.server.requests().size() == 2,
                              qPrintable(run.server.requests().join(QLatin1Char('\n'))), 60000);
    QCOMPARE(run.server.requests().first(), QStringLiteral("/update/quorbilan.xml.gz 200 -"));
    // Saved under the name in the URL, in a temporary folder of the user's.
    QStringList saved;
    QTRY_VERIFY_WITH_TIMEOUT((saved = filesNamed(run.prefix.path(), QStringLiteral("QuorbilanSetup.exe"))).size() == 1
                                 && contents(saved.first()) == installer,
                             100000);
    // A new folder of the toolkit's pattern in the user's temp folder (Wine's
    // is %USERPROFILE%\Temp).
    const QFileInfo folder(QFileInfo(saved.first()).path());
    QVERIFY2(folder.fileName().startsWith(product + QLatin1Char('-'))
                 && folder.path() == run.prefix.userProfile() + QStringLiteral("/Temp"),
             qPrintable(saved.first()));
    QCOMPARE(run.server.requests().last(), QStringLiteral("/download/QuorbilanSetup.exe 200 -"));
}

void TestWinUpdate::serve(Run& run, const QString& installerPath)
{
    QVERIFY2(run.prefix.isValid(), qPrintable(run.prefix.errorString()));
    QTemporaryDir folder(world.filePath(QStringLiteral("run-XXXXXX")));
    folder.setAutoRemove(false);
    QVERIFY(folder.isValid());
    run.folder = folder.path();
    QVERIFY(run.server.start(run.folder + QStringLiteral("/server"), certificates.certFile, certificates.keyFile));
    run.server.put(QStringLiteral("/update/quorbilan.xml.gz"), gzipped(exampleFeed(run.server.url(installerPath))));
    // Wine's schannel trusts only CAs in the prefix's certificate stores (see trust_ca.cpp).
    const WineRun trusted
        = run.prefix.run(WinePrefix::windowsBuildDir() + QStringLiteral("/tests/windows/certs/trust_ca.exe"),
                         {WinePrefix::windowsPath(certificates.caFile)});
    QVERIFY2(trusted.finished && trusted.exitCode == 0, trusted.standardError.constData());
    // Only the user's check runs.
    QVERIFY(WineDesktop::setSetting(run.prefix, QStringLiteral("UpdateChecker_Auto"), QStringLiteral("REG_DWORD"),
                                    QStringLiteral("0")));
}

void TestWinUpdate::openDownload(Run& run, const QString& cwd)
{
    WineDesktop::start(
        run.program, run.prefix, WinePrefix::programPath(), cwd,
        {QStringLiteral("QUORBILAN_UPDATE_URL=") + run.server.url(QStringLiteral("/update/quorbilan.xml.gz")),
         QStringLiteral("QUORBILAN_UPDATE_CA=") + WinePrefix::windowsPath(certificates.caFile)});
    QVERIFY(run.program.waitForStarted(60000));
    QStringList windows;
    QTRY_VERIFY_WITH_TIMEOUT(!(windows = WineDesktop::windows(mainTitle)).isEmpty(), 120000);
    // Help > "Check for updates...", its first item.
    WineDesktop::keys(windows.first(), {QStringLiteral("alt+h"), QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(!(windows = WineDesktop::windows(QStringLiteral("Software Update"))).isEmpty()
                                 || !WineDesktop::windows(product).isEmpty(),
                             120000);
    // A failed check shows its message box, titled with the product's name.
    QVERIFY2(WineDesktop::windows(product).isEmpty(), qPrintable(run.server.requests().join(QLatin1Char('\n'))));
    // "Install Update" is the default button.
    WineDesktop::keys(windows.first(), {QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(!WineDesktop::windows(QStringLiteral("Updating ") + product).isEmpty()
                                 || !WineDesktop::windows(product).isEmpty(),
                             120000);
}

void TestWinUpdate::downloadProbe(Run& run, const QString& installerPath, const QString& fileName,
                                  const QString& cwdName, QString& saved)
{
    serve(run, installerPath);
    if (QTest::currentTestFailed())
        return;
    run.server.put(installerPath, probe);
    const QString cwd = run.folder + QLatin1Char('/') + cwdName;
    QVERIFY(QDir().mkpath(cwd));
    openDownload(run, cwd);
    if (QTest::currentTestFailed())
        return;
    QStringList files;
    QTRY_VERIFY_WITH_TIMEOUT(
        (files = filesNamed(run.prefix.path(), fileName)).size() == 1 && contents(files.first()) == probe, 120000);
    saved = files.first();
}

void TestWinUpdate::exitByMenu(Run& run)
{
    QStringList windows;
    QTRY_VERIFY_WITH_TIMEOUT((windows = WineDesktop::windows(mainTitle)).size() == 1, 60000);
    WineDesktop::keys(windows.first(), {QStringLiteral("alt+f"), QStringLiteral("x")});
    QVERIFY(run.program.waitForFinished(60000));
    QCOMPARE(run.program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.program.exitCode(), 0);
}

void TestWinUpdate::verifyNotStarted(Run& run, const QString& fileName)
{
    // The program has ended, so an installer it started exists by now: it
    // runs, or it has run and left its record. Asked in this order, one of
    // the two shows it.
    const WineRun count = run.prefix.run(helperPath(QStringLiteral("process_count.exe")), {fileName});
    QVERIFY2(count.finished && count.exitCode == 0, count.standardError.constData());
    QCOMPARE(count.standardOutput.trimmed(), QByteArray("0"));
    QCOMPARE(filesNamed(run.prefix.path(), fileName + QStringLiteral(".record")), QStringList());
}

void TestWinUpdate::installAndRelaunchHandsOverToTheInstaller_data()
{
    QTest::addColumn<QString>("installerPath");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("cwdName");
    QTest::newRow("plain name") << QStringLiteral("/download/QuorbilanSetup.exe")
                                << QStringLiteral("QuorbilanSetup.exe") << QStringLiteral("cwd");
    // Blanks make the program's path a quoted argument; the rest must survive
    // the wide command line.
    QTest::newRow("blanks and non-ASCII")
        << QStringLiteral("/download/Quorbilan%20Setup%20%C3%9Cber%20%E6%97%A5%E6%9C%AC.exe")
        << QStringLiteral("Quorbilan Setup \u00DCber \u65E5\u672C.exe") << QStringLiteral("a folder \u00DC \u65E5");
}

void TestWinUpdate::installAndRelaunchHandsOverToTheInstaller()
{
    QFETCH(QString, installerPath);
    QFETCH(QString, fileName);
    QFETCH(QString, cwdName);
    Run run;
    QString saved;
    downloadProbe(run, installerPath, fileName, cwdName, saved);
    if (QTest::currentTestFailed())
        return;
    const QString cwd = run.folder + QLatin1Char('/') + cwdName;

    // Clicked until the button is there and takes it: the dialog closes and
    // the program quits, starting the installer as it ends.
    const QString dialogTitle = QStringLiteral("Updating ") + product;
    const bool ended = QTest::qWaitFor(
        [&] {
            if (run.program.state() == QProcess::NotRunning)
                return true;
            const QStringList dialog = WineDesktop::windows(dialogTitle);
            const QSize size = dialog.isEmpty() ? QSize() : WineDesktop::size(dialog.first());
            if (!size.isEmpty())
                WineDesktop::click(dialog.first(), installButtonSpot(size));
            return false;
        },
        60000);
    QVERIFY2(ended, "the program did not end");
    QCOMPARE(run.program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.program.exitCode(), 0);

    const QString recordPath = saved + QStringLiteral(".record");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(recordPath), 60000);
    const ProbeRecord record = readRecord(recordPath);
    // The downloaded file itself, with no arguments, in the program's own
    // current folder.
    QCOMPARE(record.value("argc"), QStringLiteral("1"));
    QCOMPARE(record.arguments.size(), qsizetype(1));
    QVERIFY2(samePath(linuxPath(run.prefix, record.arguments.first()), saved), qPrintable(record.arguments.first()));
    QVERIFY2(samePath(linuxPath(run.prefix, record.value("module")), saved), qPrintable(record.value("module")));
    QVERIFY2(samePath(linuxPath(run.prefix, record.value("currentFolder")), cwd),
             qPrintable(record.value("currentFolder")));
    // The program ends while the installer starts: when the installer found
    // it still there, it ended with 0 within the wait. (Whether its exe is
    // free then is noted too, but other tests may run the same exe.)
    if (record.value("parentRunningAtStart") == QStringLiteral("1")) {
        QVERIFY2(samePath(linuxPath(run.prefix, record.value("parent")),
                          WinePrefix::deployDir() + QStringLiteral("/quorbilan.exe")),
                 qPrintable(record.value("parent")));
        QCOMPARE(record.value("parentEnded"), QStringLiteral("1"));
        QCOMPARE(record.value("parentExitCode"), QStringLiteral("0"));
    } else {
        QCOMPARE(record.value("parentRunningAtStart"), QStringLiteral("0"));
    }
    qInfo("installer started %s the program had ended",
          record.value("parentRunningAtStart") == QStringLiteral("1") ? "before" : "after");
    QCOMPARE(run.server.requests().last(), QStringLiteral("%1 200 -").arg(installerPath));
}

void TestWinUpdate::quittingWithoutInstallingStartsNothing()
{
    Run run;
    const QString installerPath = QStringLiteral("/download/QuorbilanSetup.exe");
    const QString fileName = QStringLiteral("QuorbilanSetup.exe");
    QString saved;
    downloadProbe(run, installerPath, fileName, QStringLiteral("cwd"), saved);
    if (QTest::currentTestFailed())
        return;
    // Downloaded whole (the job has passed its last look at Cancel), then the
    // dialog is closed instead of installing.
    const QString dialogTitle = QStringLiteral("Updating ") + product;
    const QStringList dialog = WineDesktop::windows(dialogTitle);
    QCOMPARE(dialog.size(), 1);
    WineDesktop::keys(dialog.first(), {QStringLiteral("Escape")});
    QTRY_VERIFY_WITH_TIMEOUT(WineDesktop::windows(dialogTitle).isEmpty(), 60000);
    exitByMenu(run);
    if (QTest::currentTestFailed())
        return;
    verifyNotStarted(run, fileName);
    QCOMPARE(contents(saved), probe);
}

void TestWinUpdate::failedDownloadIsNeitherKeptNorStarted_data()
{
    QTest::addColumn<bool>("cutShort");
    QTest::addColumn<QString>("reason");
    QTest::newRow("cut short") << true << QStringLiteral("QNetworkReply::NetworkError ");
    QTest::newRow("empty") << false << QStringLiteral("The server sent an empty file.");
}

void TestWinUpdate::failedDownloadIsNeitherKeptNorStarted()
{
    QFETCH(bool, cutShort);
    QFETCH(QString, reason);
    Run run;
    const QString installerPath = QStringLiteral("/download/QuorbilanSetup.exe");
    const QString fileName = QStringLiteral("QuorbilanSetup.exe");
    serve(run, installerPath);
    if (QTest::currentTestFailed())
        return;
    if (cutShort) {
        run.server.put(installerPath, probe);
        run.server.cutShort(installerPath);
    } else {
        run.server.put(installerPath, QByteArray());
    }
    openDownload(run, run.folder);
    if (QTest::currentTestFailed())
        return;

    // The download dialog gives way to a warning titled with the product's
    // name; Ctrl+C copies a box's texts to the clipboard on Windows.
    const QString dialogTitle = QStringLiteral("Updating ") + product;
    QStringList box;
    QTRY_VERIFY_WITH_TIMEOUT(
        WineDesktop::windows(dialogTitle).isEmpty() && (box = WineDesktop::windows(product)).size() == 1, 120000);
    QCOMPARE(run.server.requests().last().section(QLatin1Char(' '), 0, 0), installerPath);
    WineDesktop::keys(box.first(), {QStringLiteral("ctrl+c")});
    const QString said = QStringLiteral("An error occurred while downloading the update. Please try again later.\n");
    QString copied;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (copied = QString::fromUtf8(run.prefix.run(helperPath(QStringLiteral("clipboard_text.exe")), {}).standardOutput)
                      .replace(QStringLiteral("\r\n"), QStringLiteral("\n")))
            .contains(said + reason),
        qPrintable(copied), 60000);
    // Nothing of it is left to start, nor the folder made for it.
    QCOMPARE(filesNamed(run.prefix.path(), fileName), QStringList());
    QCOMPARE(QDir(run.prefix.userProfile() + QStringLiteral("/Temp"))
                 .entryList({product + QStringLiteral("-*")}, QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList());

    WineDesktop::keys(box.first(), {QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(WineDesktop::windows(product).isEmpty(), 60000);
    exitByMenu(run);
    if (QTest::currentTestFailed())
        return;
    verifyNotStarted(run, fileName);
}

QTEST_GUILESS_MAIN(TestWinUpdate)
#include "tst_WinUpdate.moc"
