// The update service of the Windows program under Wine, over schannel: the
// real quorbilan.exe checks a local HTTPS server whose certificate the test's
// CA signed (QUORBILAN_UPDATE_URL, QUORBILAN_UPDATE_CA). Help > "Check for
// updates..." finds the newer version and shows the update dialog; "Install
// Update" downloads the installer into a temporary folder of the prefix. The
// test CA is trusted through the prefix's root store: Wine cannot take it the
// program's way (trust_ca.cpp says why).
#include "FeedServer.h"
#include "ProductIdentity.h"
#include "WineDesktop.h"
#include "WineProgram.h"

#include <QDirIterator>
#include <QFile>
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

} // namespace

class TestWinUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void manualCheckFindsTheUpdateAndDownloadsIt();

private:
    QTemporaryDir world;
    TestCertificates certificates;
};

void TestWinUpdate::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (ctest runs this under xvfb-run)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool (scripts/setup.sh installs it)");
    QVERIFY(world.isValid());
    QVERIFY(certificates.make(world.filePath(QStringLiteral("certs"))));
}

void TestWinUpdate::manualCheckFindsTheUpdateAndDownloadsIt()
{
    WinePrefix prefix;
    QVERIFY2(prefix.isValid(), qPrintable(prefix.errorString()));
    FeedServer server;
    QVERIFY(server.start(world.filePath(QStringLiteral("server")), certificates.certFile, certificates.keyFile));
    QByteArray installer(300 * 1024, Qt::Uninitialized);
    for (char& byte : installer)
        byte = char(QRandomGenerator::global()->bounded(256));
    server.put(QStringLiteral("/download/QuorbilanSetup.exe"), installer);
    server.put(QStringLiteral("/update/quorbilan.xml.gz"),
               gzipped(exampleFeed(server.url(QStringLiteral("/download/QuorbilanSetup.exe")))));
    // Wine's schannel trusts only CAs in the prefix's certificate stores (see trust_ca.cpp).
    const WineRun trusted
        = prefix.run(WinePrefix::windowsBuildDir() + QStringLiteral("/tests/windows/certs/trust_ca.exe"),
                     {WinePrefix::windowsPath(certificates.caFile)});
    QVERIFY2(trusted.finished && trusted.exitCode == 0, trusted.standardError.constData());
    // Only the user's check runs.
    QVERIFY(WineDesktop::setSetting(prefix, QStringLiteral("UpdateChecker_Auto"), QStringLiteral("REG_DWORD"),
                                    QStringLiteral("0")));

    QProcess program;
    WineDesktop::start(
        program, prefix, WinePrefix::programPath(), world.path(),
        {QStringLiteral("QUORBILAN_UPDATE_URL=") + server.url(QStringLiteral("/update/quorbilan.xml.gz")),
         QStringLiteral("QUORBILAN_UPDATE_CA=") + WinePrefix::windowsPath(certificates.caFile)});
    QVERIFY(program.waitForStarted(60000));
    QStringList windows;
    QTRY_VERIFY_WITH_TIMEOUT(!(windows = WineDesktop::windows(mainTitle)).isEmpty(), 120000);

    // Help > "Check for updates...", its first item.
    WineDesktop::keys(windows.first(), {QStringLiteral("alt+h"), QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(!(windows = WineDesktop::windows(QStringLiteral("Software Update"))).isEmpty()
                                 || !WineDesktop::windows(product).isEmpty(),
                             120000);
    // A failed check shows its message box, titled with the product's name.
    QVERIFY2(WineDesktop::windows(product).isEmpty(), qPrintable(server.requests().join(QLatin1Char('\n'))));
    QCOMPARE(server.requests(), QStringList{QStringLiteral("/update/quorbilan.xml.gz 200 -")});

    // "Install Update" is the default button.
    WineDesktop::keys(windows.first(), {QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(!WineDesktop::windows(QStringLiteral("Updating ") + product).isEmpty(), 120000);
    QTRY_VERIFY2_WITH_TIMEOUT(server.requests().size() == 2, qPrintable(server.requests().join(QLatin1Char('\n'))),
                              60000);
    // Saved under the name in the URL, in a temporary folder of the user's.
    QStringList saved;
    QTRY_VERIFY_WITH_TIMEOUT((saved = filesNamed(prefix.path(), QStringLiteral("QuorbilanSetup.exe"))).size() == 1
                                 && contents(saved.first()) == installer,
                             100000);
    // A new folder of the toolkit's pattern in the user's temp folder (Wine's
    // is %USERPROFILE%\Temp).
    const QFileInfo folder(QFileInfo(saved.first()).path());
    QVERIFY2(folder.fileName().startsWith(product + QLatin1Char('-'))
                 && folder.path() == prefix.userProfile() + QStringLiteral("/Temp"),
             qPrintable(saved.first()));
    QCOMPARE(server.requests().last(), QStringLiteral("/download/QuorbilanSetup.exe 200 -"));

    program.kill();
    QVERIFY(program.waitForFinished(60000));
}

QTEST_GUILESS_MAIN(TestWinUpdate)
#include "tst_WinUpdate.moc"
