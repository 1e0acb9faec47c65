// The download dialog and its job against a real HTTPS server on 127.0.0.1:
// where the installer lands, the ready state, errors, cancelling a download
// that stalls, and the file names the job picks.
#include "AvailableUpdate.h"
#include "FeedServer.h"
#include "FormatByteSize.h"
#include "QFileDownloader.h"
#include "IsolatedTestMain.h"
#include "LanguageTable.h"
#include "ModalDriver.h"
#include "ProcessMemory.h"
#include "QDownloadProgressDlg.h"
#include "QUpdateChecker.h"
#include "SmallDisk.h"
#include "UpdateInstaller.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <optional>
#include <sys/resource.h>

namespace {

const QByteArray installerBody = QByteArray("#!/bin/sh\necho installed\n") + QByteArray(200 * 1024, '#');

// The limit the size tests lower the program's to, and bodies around it.
constexpr qint64 testLimit = 64 * 1024 * 1024;
// A download that will finish gets a minute: a busy machine can be slow.
constexpr int downloadWaitMs = 60000;

QString downloadsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old");
}

// How the dialog looked when it reached the state the test waits for.
struct DialogState
{
    QString status;
    bool installVisible = false;
    bool cancelVisible = false;
    int barMaximum = -1;
    int barValue = -1;
};

} // namespace

class tst_DownloadDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readyStateAndNumberedName();
    void temporaryFolderOutlivesDialog();
    void installerNotFound();
    void shortWriteIsAnError();
    void cancelStalledDownload();
    void closeBehavesLikeCancel();
    void unknownLengthShowsBusyBar();
    void installerOutcome_data();
    void installerOutcome();
    void installerFileName_data();
    void installerFileName();
    void everyNumberTaken();
    void installerSizeLimit_data();
    void installerSizeLimit();
    void barOfAnySize_data();
    void barOfAnySize();
    void longFileName();
    void dribblingInstaller();

private:
    std::unique_ptr<QUpdateChecker> makeChecker(const QString& installerPath, bool saveToDownloads);
    // Runs the dialog; `answer` sees it once it shows and may end it.
    // `mayEndUnseen`: a dialog whose download fails at once can end before the
    // answer sees it; its answer then only closes what is still open.
    int runDialog(QUpdateChecker* checker, std::function<void(QDownloadProgressDlg*)> answer, QString* errorText,
                  bool mayEndUnseen = false);

    QTemporaryDir root;
    TestCertificates certificates;
    FeedServer server;
    std::unique_ptr<LanguageTable> language;
};

void tst_DownloadDialog::initTestCase()
{
    QVERIFY(certificates.make(root.path() + "/certs"));
    qputenv("QUORBILAN_UPDATE_CA", certificates.caFile.toUtf8());
    QVERIFY(server.start(root.path() + "/www", certificates.certFile, certificates.keyFile));
    server.put("/download/quorbilan-3.2-setup.sh", installerBody);
    server.put("/download/stall.sh", QByteArray());
    server.stall("/download/stall.sh");
    server.put("/download/nolength.sh", installerBody);
    server.withoutLength("/download/nolength.sh");
    server.put("/download/empty.sh", QByteArray());
    server.put("/download/CON.sh", installerBody);
    server.put("/any", installerBody);
    server.put("/download/dribble.sh", installerBody);
    server.dribble("/download/dribble.sh");
    language = std::make_unique<LanguageTable>(":/English.xml");
    language->load("English.xml");
}

void tst_DownloadDialog::init()
{
    QDir(downloadsFolder()).removeRecursively();
    updateInstaller->setUpdateFile(QString());
}

void tst_DownloadDialog::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
}

std::unique_ptr<QUpdateChecker> tst_DownloadDialog::makeChecker(const QString& installerPath, bool saveToDownloads)
{
    auto checker = std::make_unique<QUpdateChecker>(server.url("/update/quorbilan.xml.gz"), "Quorbilan", "3.0.0",
                                                    nullptr, language.get(), nullptr, nullptr);
    const QByteArray feed
        = exampleFeed(server.url(installerPath), saveToDownloads ? "saveToDownloads=\"\"" : QString());
    if (!checker->availableUpdate->fromXML(feed))
        return nullptr;
    return checker;
}

int tst_DownloadDialog::runDialog(QUpdateChecker* checker, std::function<void(QDownloadProgressDlg*)> answer,
                                  QString* errorText, bool mayEndUnseen)
{
    QDownloadProgressDlg dialog(checker, nullptr);
    whenShown<QDownloadProgressDlg>(&dialog, answer);
    const int result = dialog.exec();
    if (mayEndUnseen)
        PendingAnswer::dropWaiting(&dialog);
    if (errorText)
        *errorText = dialog.errorText;
    return result;
}

void tst_DownloadDialog::readyStateAndNumberedName()
{
    QDir().mkpath(downloadsFolder());
    touch(downloadsFolder() + "/quorbilan-3.2-setup.sh");
    touch(downloadsFolder() + "/quorbilan-3.2-setup (1).sh");
    auto checker = makeChecker("/download/quorbilan-3.2-setup.sh", true);
    QVERIFY(checker);

    DialogState seen;
    QString title;
    const int result = runDialog(
        checker.get(),
        [&](QDownloadProgressDlg* dialog) {
            title = dialog->windowTitle();
            QPushButton* install = dialog->findChild<QPushButton*>("installButton");
            if (!QTest::qWaitFor([&] { return install->isVisible(); }, downloadWaitMs))
                return dialog->reject();
            QProgressBar* bar = dialog->findChild<QProgressBar*>("progressBar");
            seen = {dialog->findChild<QLabel*>("statusLabel")->text(), install->isVisible(),
                    dialog->findChild<QPushButton*>("cancelButton")->isVisible(), bar->maximum(), bar->value()};
            dialog->close();
        },
        nullptr);

    QCOMPARE(result, 0);
    QCOMPARE(title, QStringLiteral("Updating Quorbilan"));
    QCOMPARE(seen.status, QStringLiteral("<b>Ready to Install</b>"));
    QVERIFY(seen.installVisible);
    QVERIFY(!seen.cancelVisible);
    QCOMPARE(seen.barMaximum, 100);
    QCOMPARE(seen.barValue, 100);

    const QString saved = downloadsFolder() + "/quorbilan-3.2-setup (2).sh";
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), installerBody);
    QCOMPARE(updateInstaller->updateFile, QDir::toNativeSeparators(saved));
    QFile old(downloadsFolder() + "/quorbilan-3.2-setup.sh");
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
}

void tst_DownloadDialog::temporaryFolderOutlivesDialog()
{
    auto checker = makeChecker("/download/quorbilan-3.2-setup.sh", false);
    QVERIFY(checker);
    const int result = runDialog(
        checker.get(),
        [](QDownloadProgressDlg* dialog) {
            QPushButton* install = dialog->findChild<QPushButton*>("installButton");
            if (!QTest::qWaitFor([&] { return install->isVisible(); }, downloadWaitMs))
                qWarning("the download did not get ready");
            dialog->close();
        },
        nullptr);
    QCOMPARE(result, 0);
    const QString saved = updateInstaller->updateFile;
    QVERIFY(saved.startsWith(QDir::tempPath()));
    QCOMPARE(QFileInfo(saved).fileName(), QStringLiteral("quorbilan-3.2-setup.sh"));
    QCOMPARE(QFileInfo(saved).size(), qint64(installerBody.size()));
    QVERIFY(!QDir(downloadsFolder()).exists());
}

void tst_DownloadDialog::installerNotFound()
{
    auto checker = makeChecker("/download/missing.sh", true);
    QVERIFY(checker);
    QString errorText;
    const int result = runDialog(
        checker.get(), [](QDownloadProgressDlg*) {}, &errorText);
    QCOMPARE(result, 2);
    const QString expected
        = QString("An error occurred while downloading the update. Please try again later.\n"
                  "QNetworkReply::NetworkError 203: Error transferring %1 - server replied: Not Found")
              .arg(server.url("/download/missing.sh"));
    QCOMPARE(errorText, expected);
    QVERIFY(updateInstaller->updateFile.isEmpty());
    QVERIFY(QDir(downloadsFolder()).isEmpty());
}

void tst_DownloadDialog::shortWriteIsAnError()
{
    auto checker = makeChecker("/download/quorbilan-3.2-setup.sh", true);
    QVERIFY(checker);
    QDir().mkpath(downloadsFolder());

    // A file-size limit below the installer's size cuts the write short, as a
    // full disk does; the signal it raises is ignored, so write() fails instead.
    struct rlimit before = {};
    getrlimit(RLIMIT_FSIZE, &before);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 64 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString errorText;
    const int result = runDialog(
        checker.get(), [](QDownloadProgressDlg*) {}, &errorText);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(result, 2);
    const QString path = QDir::toNativeSeparators(downloadsFolder() + "/quorbilan-3.2-setup.sh");
    QVERIFY2(errorText.startsWith(QString("Unable to write file '%1'").arg(path)), qPrintable(errorText));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(updateInstaller->updateFile.isEmpty());
}

void tst_DownloadDialog::cancelStalledDownload()
{
    auto checker = makeChecker("/download/stall.sh", true);
    QVERIFY(checker);
    const int before = server.requests().size();
    QElapsedTimer clock;
    qint64 cancelTook = -1;
    const int result = runDialog(
        checker.get(),
        [&](QDownloadProgressDlg* dialog) {
            QVERIFY(server.waitForRequests(before + 1));
            clock.start();
            dialog->findChild<QPushButton*>("cancelButton")->click();
            cancelTook = clock.elapsed();
        },
        nullptr);
    QCOMPARE(result, 0);
    // Not a speed figure: a cancel that waited for the server would never return.
    QVERIFY(cancelTook >= 0);
    QVERIFY(updateInstaller->updateFile.isEmpty());
    QVERIFY(!QDir(downloadsFolder()).exists() || QDir(downloadsFolder()).isEmpty());
}

void tst_DownloadDialog::closeBehavesLikeCancel()
{
    auto checker = makeChecker("/download/stall.sh", true);
    QVERIFY(checker);
    const int before = server.requests().size();
    const int result = runDialog(
        checker.get(),
        [&](QDownloadProgressDlg* dialog) {
            QVERIFY(server.waitForRequests(before + 1));
            dialog->close();
        },
        nullptr);
    QCOMPARE(result, 0);
    QVERIFY(updateInstaller->updateFile.isEmpty());
}

void tst_DownloadDialog::unknownLengthShowsBusyBar()
{
    auto checker = makeChecker("/download/stall.sh", true);
    QVERIFY(checker);
    QDownloadProgressDlg dialog(checker.get(), nullptr);
    QMetaObject::invokeMethod(&dialog, "slotDownloadProgress", Q_ARG(qint64, 5000), Q_ARG(qint64, -1));
    QProgressBar* bar = dialog.findChild<QProgressBar*>("progressBar");
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 0);
    QCOMPARE(dialog.findChild<QLabel*>("sizeLabel")->text(),
             QString("%1 of %2").arg(formatByteSize(5000), formatByteSize(0)));

    QMetaObject::invokeMethod(&dialog, "slotDownloadProgress", Q_ARG(qint64, 1024), Q_ARG(qint64, 4096));
    QCOMPARE(bar->maximum(), 4096);
    QCOMPARE(bar->value(), 1024);
    QCOMPARE(dialog.findChild<QLabel*>("sizeLabel")->text(),
             QString("%1 of %2").arg(formatByteSize(1024), formatByteSize(4096)));

    // The same size text the rest of the program shows.
    QCOMPARE(formatByteSize(1536), QLocale().formattedDataSize(1536, 1, QLocale::DataSizeTraditionalFormat));
}

void tst_DownloadDialog::installerOutcome_data()
{
    QTest::addColumn<QString>("installer");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("saved");

    const QString failed = "An error occurred while downloading the update. Please try again later.\n";
    const QString target = QDir::toNativeSeparators(downloadsFolder() + "/quorbilan-3.2-setup.sh");
    QTest::newRow("empty address") << "" << 2 << failed + "The update names no file to download."
                                   << "";
    QTest::newRow("0-byte body") << "/download/empty.sh" << 2 << failed + "The server sent an empty file."
                                 << "";
    // A tmpfs of 64 KiB mounted on the Downloads folder for this row.
    QTest::newRow("full disk") << "/download/quorbilan-3.2-setup.sh" << 2
                               << QString("Unable to write file '%1': No space left on device").arg(target) << "";
    QTest::newRow("device name") << "/download/CON.sh" << 0 << ""
                                 << "_CON.sh";
}

void tst_DownloadDialog::installerOutcome()
{
    QFETCH(QString, installer);
    QFETCH(int, result);
    QFETCH(QString, error);
    QFETCH(QString, saved);

    auto checker = makeChecker("/download/quorbilan-3.2-setup.sh", true);
    QVERIFY(checker);
    if (installer.isEmpty())
        QVERIFY(checker->availableUpdate->fromXML(exampleFeed(QString(), "saveToDownloads=\"\"")));
    else
        checker->availableUpdate->downloadUrl = server.url(installer);

    const QString folder = downloadsFolder();
    QDir().mkpath(folder);
    std::optional<SmallDisk> disk;
    if (QTest::currentDataTag() == QByteArray("full disk")) {
        disk.emplace(folder, "64k");
        if (!disk->error().isEmpty())
            QSKIP(qPrintable("cannot mount a small tmpfs: " + disk->error()));
    }
    QString errorText;
    const int outcome = runDialog(
        checker.get(),
        [](QDownloadProgressDlg* dialog) {
            QPushButton* install = dialog->findChild<QPushButton*>("installButton");
            if (QTest::qWaitFor([&] { return install->isVisible() || !dialog->isVisible(); }, downloadWaitMs)
                && dialog->isVisible())
                dialog->close();
        },
        &errorText, result != 0);
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    disk.reset();

    QCOMPARE(outcome, result);
    QCOMPARE(errorText, error);
    if (saved.isEmpty()) {
        // Nothing armed, nothing left behind.
        QCOMPARE(left, QStringList());
        QVERIFY(updateInstaller->updateFile.isEmpty());
        QVERIFY(!updateInstaller->armAndQuit());
    } else {
        QCOMPARE(left, QStringList{saved});
        QCOMPARE(updateInstaller->updateFile, QDir::toNativeSeparators(folder + "/" + saved));
    }
}

void tst_DownloadDialog::installerFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << "https://h/d/QuorbilanSetup-3.2.exe"
                           << "QuorbilanSetup-3.2.exe";
    QTest::newRow("query is not the name") << "https://h/d/setup.exe?file=../../evil.exe"
                                           << "setup.exe";
    QTest::newRow("fragment") << "https://h/d/setup.exe#x/y"
                              << "setup.exe";
    QTest::newRow("no name") << "https://h/d/"
                             << "QuorbilanSetup.exe";
    QTest::newRow("no path") << "https://h"
                             << "QuorbilanSetup.exe";
    QTest::newRow("encoded separators") << "https://h/d/..%2F..%5Cevil.exe"
                                        << "..evil.exe";
    QTest::newRow("forbidden characters") << "https://h/d/a%3Cb%3E%3A%22%7C%3F%2A.exe"
                                          << "ab.exe";
    QTest::newRow("control characters") << "https://h/d/a%0Ab%09.exe"
                                        << "ab.exe";
    QTest::newRow("only forbidden") << "https://h/d/%3A%3F%2A"
                                    << "QuorbilanSetup.exe";
    QTest::newRow("trailing dots and blanks") << "https://h/d/setup.exe.%20."
                                              << "setup.exe";
    QTest::newRow("dot dot") << "https://h/d/.."
                             << "QuorbilanSetup.exe";
    // Windows opens a device for these stems, whatever the case and the extension.
    QTest::newRow("CON") << "https://h/d/CON.exe"
                         << "_CON.exe";
    QTest::newRow("nul, two suffixes") << "https://h/d/nul.tar.gz"
                                       << "_nul.tar.gz";
    QTest::newRow("Com1") << "https://h/d/Com1.msi"
                          << "_Com1.msi";
    QTest::newRow("lpt9 without suffix") << "https://h/d/lpt9"
                                         << "_lpt9";
    QTest::newRow("aux, blank before the dot") << "https://h/d/aux%20.txt"
                                               << "_aux .txt";
    QTest::newRow("PRN") << "https://h/d/PRN.exe"
                         << "_PRN.exe";
    QTest::newRow("not a device: CONSOLE") << "https://h/d/CONSOLE.exe"
                                           << "CONSOLE.exe";
    QTest::newRow("not a device: COM10") << "https://h/d/COM10.exe"
                                         << "COM10.exe";
    // Cut to 249 bytes of UTF-8, room left for " (999)", the suffix kept.
    QTest::newRow("300 characters") << "https://h/d/" + QString(296, 'a') + ".exe" << QString(245, 'a') + ".exe";
    QTest::newRow("two-byte characters") << "https://h/d/" + QString(200, QChar(0xE9)) + ".exe"
                                         << QString(122, QChar(0xE9)) + ".exe";
    QTest::newRow("long suffix") << "https://h/d/a." + QString(300, 'b') << "a." + QString(247, 'b');
}

void tst_DownloadDialog::installerFileName()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(::installerFileName(url), name);
}

void tst_DownloadDialog::everyNumberTaken()
{
    const QString folder = downloadsFolder();
    QDir().mkpath(folder);
    touch(folder + "/setup.exe");
    for (int n = 1; n <= 998; ++n)
        touch(QString("%1/setup (%2).exe").arg(folder).arg(n));

    QString error;
    QCOMPARE(downloadTargetPath("setup.exe", true, error), QDir::toNativeSeparators(folder + "/setup (999).exe"));
    QVERIFY(error.isEmpty());

    // A link to nothing counts as taken: writing through it would create its target.
    QVERIFY(QFile::link(root.path() + "/nowhere", folder + "/setup (999).exe"));
    QCOMPARE(downloadTargetPath("setup.exe", true, error), QString());
    QCOMPARE(error,
             QString("UpdateChecker: no free name for 'setup.exe' in '%1'").arg(QDir::toNativeSeparators(folder)));
    QVERIFY(!QFileInfo::exists(root.path() + "/nowhere"));

    // A file made between the choice of a name and its opening is left alone:
    // the save says the name is taken, and the next choice is the next number.
    error.clear();
    const QString chosen = downloadTargetPath("race.exe", true, error);
    QCOMPARE(chosen, QDir::toNativeSeparators(folder + "/race.exe"));
    touch(folder + "/race.exe");
    bool taken = false;
    QVERIFY(!saveNewFile(chosen, installerBody, error, &taken));
    QVERIFY(taken);
    QFile raced(folder + "/race.exe");
    QVERIFY(raced.open(QIODevice::ReadOnly));
    QCOMPARE(raced.readAll(), QByteArray("old"));
    const QString next = downloadTargetPath("race.exe", true, error);
    QCOMPARE(next, QDir::toNativeSeparators(folder + "/race (1).exe"));
    QVERIFY(saveNewFile(next, installerBody, error, &taken));
    QCOMPARE(QFileInfo(next).size(), qint64(installerBody.size()));

    // A name without a suffix gets the number at its end.
    error.clear();
    touch(folder + "/installer");
    QCOMPARE(downloadTargetPath("installer", true, error), QDir::toNativeSeparators(folder + "/installer (1)"));
}

void tst_DownloadDialog::installerSizeLimit_data()
{
    QTest::addColumn<QString>("installer");
    QTest::addColumn<bool>("fits");

    const QByteArray atLimit(testLimit, 'x');
    server.put("/download/limit.sh", atLimit);
    server.put("/download/over.sh", atLimit + 'x');
    server.put("/download/overnolength.sh", atLimit + 'x');
    server.withoutLength("/download/overnolength.sh");
    QTest::newRow("at the limit") << "/download/limit.sh" << true;
    // Refused by its Content-Length, and by its bytes when it states none.
    QTest::newRow("a byte past, stated") << "/download/over.sh" << false;
    QTest::newRow("a byte past, reached") << "/download/overnolength.sh" << false;
}

void tst_DownloadDialog::installerSizeLimit()
{
    QFETCH(QString, installer);
    QFETCH(bool, fits);

    // The first download of a process sets up TLS and its roots: done before
    // the peak is measured, which is the transfer's alone.
    {
        std::unique_ptr<QFileDownloader> warmUp(
            createFileDownloader(server.url("/download/quorbilan-3.2-setup.sh"), nullptr, "QFileDownloader"));
        warmUp->download();
        QCOMPARE(warmUp->networkError, 0);
    }
    const qint64 normalLimit = maxInstallerBytes;
    maxInstallerBytes = testLimit;
    auto checker = makeChecker(installer, true);
    QVERIFY(checker);
    QVERIFY(resetPeakRss());
    const qint64 baseKiB = statusKiB("VmRSS");
    QList<QPair<int, int>> bar;
    QString errorText;
    const int result = runDialog(
        checker.get(),
        [&](QDownloadProgressDlg* dialog) {
            auto* progress = dialog->findChild<QProgressBar*>("progressBar");
            connect(progress, &QProgressBar::valueChanged, dialog,
                    [&bar, progress](int value) { bar << qMakePair(value, progress->maximum()); });
            QPushButton* install = dialog->findChild<QPushButton*>("installButton");
            if (QTest::qWaitFor([&] { return install->isVisible() || !dialog->isVisible(); }, 60000)
                && dialog->isVisible())
                dialog->close();
        },
        &errorText, true);
    const qint64 peakKiB = statusKiB("VmHWM");
    maxInstallerBytes = normalLimit;
    qInfo("%s: peak RSS %lld KiB above the %lld KiB before", QTest::currentDataTag(), peakKiB - baseKiB, baseKiB);

    const QString saved = downloadsFolder() + installer.mid(installer.lastIndexOf('/'));
    if (fits) {
        QCOMPARE(result, 0);
        QCOMPARE(QFileInfo(saved).size(), testLimit);
        QCOMPARE(updateInstaller->updateFile, QDir::toNativeSeparators(saved));
        // The bar's last step before the ready state: full, in whatever unit.
        bar.removeIf([](const QPair<int, int>& step) { return step.second == 100; });
        QVERIFY(!bar.isEmpty());
        QVERIFY2(bar.last().first == bar.last().second && bar.last().second > 0,
                 qPrintable(QString("%1 of %2").arg(bar.last().first).arg(bar.last().second)));
#ifdef __SANITIZE_ADDRESS__
        // ASan keeps freed memory in quarantine, where it would count as the program's.
        if (!qEnvironmentVariable("ASAN_OPTIONS").contains("quarantine_size_mb=0"))
            qWarning("peak RSS not judged: ASan's quarantine is on");
        else
#endif
            // Written as it came: far less than the body was ever held.
            QVERIFY2(peakKiB - baseKiB < testLimit / 1024 / 2, qPrintable(QString::number(peakKiB - baseKiB)));
    } else {
        QCOMPARE(result, 2);
        QCOMPARE(errorText,
                 QString("An error occurred while downloading the update. Please try again later.\n"
                         "The file is larger than %1, the most the program downloads.")
                     .arg(formatByteSize(testLimit)));
        QVERIFY(!QFileInfo::exists(saved));
        QVERIFY(updateInstaller->updateFile.isEmpty());
    }
}

void tst_DownloadDialog::barOfAnySize_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");

    QTest::newRow("3 of 1,000 bytes") << qint64(3) << qint64(1000);
    QTest::newRow("950.4 MB of 3.0 GB") << qint64(950400000) << qint64(3) * 1024 * 1024 * 1024;
    QTest::newRow("just past 2 GiB") << qint64(1) << (qint64(1) << 31);
    QTest::newRow("all of 5 TiB") << (qint64(5) << 40) << (qint64(5) << 40);
}

void tst_DownloadDialog::barOfAnySize()
{
    QFETCH(qint64, received);
    QFETCH(qint64, total);

    auto checker = makeChecker("/download/stall.sh", true);
    QVERIFY(checker);
    QDownloadProgressDlg dialog(checker.get(), nullptr);
    QMetaObject::invokeMethod(&dialog, "slotDownloadProgress", Q_ARG(qint64, received), Q_ARG(qint64, total));
    QProgressBar* bar = dialog.findChild<QProgressBar*>("progressBar");
    // A bar, not busy stripes, filled as far as the download is.
    QCOMPARE(bar->minimum(), 0);
    QVERIFY2(bar->maximum() > 0, qPrintable(QString::number(bar->maximum())));
    const double shown = double(bar->value()) / bar->maximum();
    QVERIFY2(qAbs(shown - double(received) / total) < 0.001, qPrintable(QString::number(shown)));
    QCOMPARE(dialog.findChild<QLabel*>("sizeLabel")->text(),
             QString("%1 of %2").arg(formatByteSize(received), formatByteSize(total)));
}

void tst_DownloadDialog::longFileName()
{
    // 300 characters: more than a file system takes in one name.
    auto checker = makeChecker("/any/" + QString(296, 'a') + ".sh", true);
    QVERIFY(checker);
    QString errorText;
    const int result = runDialog(
        checker.get(),
        [](QDownloadProgressDlg* dialog) {
            QPushButton* install = dialog->findChild<QPushButton*>("installButton");
            if (QTest::qWaitFor([&] { return install->isVisible() || !dialog->isVisible(); }, 60000)
                && dialog->isVisible())
                dialog->close();
        },
        &errorText, true);
    QCOMPARE(errorText, QString());
    QCOMPARE(result, 0);
    // Cut with room for a number, its suffix kept.
    const QString saved = downloadsFolder() + "/" + QString(246, 'a') + ".sh";
    QCOMPARE(QDir(downloadsFolder()).entryList(QDir::Files), QStringList{QFileInfo(saved).fileName()});
    QCOMPARE(QFileInfo(saved).size(), qint64(installerBody.size()));
    QCOMPARE(updateInstaller->updateFile, QDir::toNativeSeparators(saved));
}

void tst_DownloadDialog::dribblingInstaller()
{
    // One byte a second: never a time-out without bytes, always too slow for
    // the minimum rate, here over a window cut to 3 s.
    qputenv("QUORBILAN_UPDATE_DEADLINE_MS", "3000");
    auto checker = makeChecker("/download/dribble.sh", true);
    QVERIFY(checker);
    QString errorText;
    const int result = runDialog(
        checker.get(),
        [](QDownloadProgressDlg* dialog) {
            if (!QTest::qWaitFor([&] { return !dialog->isVisible(); }, 60000))
                dialog->close();
        },
        &errorText, true);
    qunsetenv("QUORBILAN_UPDATE_DEADLINE_MS");
    QCOMPARE(result, 2);
    QCOMPARE(errorText,
             QStringLiteral("An error occurred while downloading the update. Please try again later.\n"
                            "QNetworkReply::NetworkError 4: The server sent less than 32768 bytes in 3 "
                            "seconds"));
    // The part that came is not left behind.
    QVERIFY(QDir(downloadsFolder()).entryList(QDir::Files).isEmpty());
    QVERIFY(updateInstaller->updateFile.isEmpty());
}

int main(int argc, char** argv)
{
    return runIsolatedTest<tst_DownloadDialog>(argc, argv);
}

#include "tst_DownloadDialog.moc"
