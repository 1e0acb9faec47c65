// The update checker against real HTTPS servers on 127.0.0.1: the messages of
// a manual check, the schedule kept in the settings, the update dialog's
// choices, and stopping a check whose server never answers.
#include "AppSettings.h"
#include "AvailableUpdate.h"
#include "FeedServer.h"
#include "IsolatedTestMain.h"
#include "LanguageTable.h"
#include "ModalDriver.h"
#include "ProcessMemory.h"
#include "QCompress.h"
#include "QDownloadProgressDlg.h"
#include "QUpdateChecker.h"
#include "QUpdatesDialog.h"
#include "UrlCatcher.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTimer>

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>

#include <limits>
#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const char feedPath[] = "/update/quorbilan.xml.gz";

// What a message box of the checker showed.
struct Message
{
    QString title;
    QString text;
    QString informative;
};

QByteArray upToDateFeed()
{
    return "<?xml version=\"1.0\"?><quorbilan><download windows=\"https://127.0.0.1/x.exe\"/><history>"
           "<version name=\"3.0.0\" date=\"1.1.2026\"/><version name=\"2.9\"/></history></quorbilan>";
}

// CPU time of this process so far, all its threads, in milliseconds.
qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return qint64(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// A feed of one newer version whose single note is `notes`.
QByteArray feedWithNotes(const QByteArray& version, const QByteArray& type, const QByteArray& notes)
{
    return "<?xml version=\"1.0\"?><quorbilan><download windows=\"https://127.0.0.1/x.exe\"/><history>"
           "<version name=\""
        + version + "\" date=\"5.3.2026\"><item type=\"" + type + "\"><html lang=\"en\">" + notes
        + "</html></item></version></history></quorbilan>";
}

// A feed whose history holds `versions`.
QByteArray feedOfVersions(const QByteArray& versions)
{
    return "<?xml version=\"1.0\"?><quorbilan><download windows=\"https://127.0.0.1/x.exe\"/><history>" + versions
        + "</history></quorbilan>";
}

// `unit` repeated to fill a feed to just under the unpacked cap.
QByteArray fillingFeed(const QByteArray& before, const QByteArray& unit, const QByteArray& after)
{
    const qsizetype room = QCompress::defaultOutputLimit - 1024 - feedOfVersions(before + after).size();
    return feedOfVersions(before + unit.repeated(room / unit.size()) + after);
}

// The point of the browser's viewport where the link to `href` is drawn.
QPoint linkPosition(QTextBrowser* browser, const QString& href)
{
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(browser->document());
            cursor.setPosition(fragment.position() + fragment.length() / 2);
            return browser->cursorRect(cursor).center();
        }
    }
    return QPoint(-1, -1);
}

} // namespace

class tst_UpdateChecker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void manualCheckMessages_data();
    void manualCheckMessages();
    void storedNextCheck_data();
    void storedNextCheck();
    void automaticCheckIsSilent();
    void manualCheckClearsSkippedVersion();
    void skipStoresVersionAndAutomaticCheckReportsNothing();
    void remindLaterRestartsTimerWithAutomaticChecksOff_data();
    void remindLaterRestartsTimerWithAutomaticChecksOff();
    void checkForUpdateChangesNothingWhileDialogOpen();
    void downloadOutcome_data();
    void downloadOutcome();
    void stopDuringStalledCheck();
    void updateDialogTexts();
    void updateDialogWithoutSettingsOrInstallableVersion();
    void hostileReleaseNotes();
    void boundedFeed_data();
    void boundedFeed();
    void versionNames_data();
    void versionNames();
    void stalledServer_data();
    void stalledServer();
    void dribblingFeed();

private:
    // A checker of the feed at `path` on the trusted server, with its own settings.
    std::unique_ptr<QUpdateChecker> makeChecker(const QString& url);
    // Accepts the window's next message box, keeping what it said in
    // `message` and setting `shown`.
    void acceptMessage(Message& message, bool& shown);
    // Runs a manual check to its message box and answers it.
    Message manualCheckMessage(QUpdateChecker* checker);
    // Runs a manual check to the update dialog and lets `answer` end it.
    bool manualCheckDialog(QUpdateChecker* checker, std::function<void(QUpdatesDialog*)> answer);
    // Runs a manual check to whatever it shows: the message box's text as
    // read, or the update dialog's text; either is answered.
    QString manualCheckOutcome(QUpdateChecker* checker);

    QTemporaryDir root;
    TestCertificates certificates;
    FeedServer server;
    FeedServer untrustedServer;
    std::unique_ptr<LanguageTable> language;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<QWidget> window;
    int settingsCount = 0;
};

void tst_UpdateChecker::initTestCase()
{
    QVERIFY(certificates.make(root.path() + "/certs"));
    qputenv("QUORBILAN_UPDATE_CA", certificates.caFile.toUtf8());
    QVERIFY(server.start(root.path() + "/www", certificates.certFile, certificates.keyFile));
    QVERIFY(untrustedServer.start(root.path() + "/untrusted", certificates.untrustedCertFile,
                                  certificates.untrustedKeyFile));

    server.put(feedPath, gzipped(exampleFeed(server.url("/download/quorbilan-3.2-setup.sh"))));
    server.put("/uptodate.xml.gz", gzipped(upToDateFeed()));
    // Split into two gzip members, as gzip -d reads them.
    server.put("/members.xml.gz", gzipped(upToDateFeed().left(70)) + gzipped(upToDateFeed().mid(70)));
    server.put("/plain.xml.gz", exampleFeed(server.url("/download/quorbilan-3.2-setup.sh")));
    server.put("/garbage.xml.gz", gzipped("this is <not xml"));
    server.put("/stallinstaller.xml.gz", gzipped(exampleFeed(server.url("/download/stall.exe"))));
    server.put("/download/stall.exe", QByteArray());
    server.stall("/download/stall.exe");
    server.put("/stall.xml.gz", QByteArray());
    server.stall("/stall.xml.gz");
    untrustedServer.put(feedPath, gzipped(upToDateFeed()));

    language = std::make_unique<LanguageTable>(":/English.xml");
    language->load("English.xml");
}

void tst_UpdateChecker::init()
{
    // Every test starts from a first run: its own settings file.
    settings = std::make_unique<AppSettings>(QString("UpdateTest%1").arg(++settingsCount),
                                             QStringLiteral("Tulverhaven Software"));
    window = std::make_unique<QWidget>();
    window->show();
}

void tst_UpdateChecker::cleanup()
{
    window.reset();
    settings.reset();
}

std::unique_ptr<QUpdateChecker> tst_UpdateChecker::makeChecker(const QString& url)
{
    auto checker = std::make_unique<QUpdateChecker>(url, QStringLiteral("Quorbilan"), QStringLiteral("3.0.0"),
                                                    settings.get(), language.get(), nullptr, window.get());
    // As the main window sets it up: the schedule's checks are silent.
    checker->setSilent(true);
    checker->setSilentMessages(true);
    checker->initialDelaySec = 1;
    return checker;
}

void tst_UpdateChecker::acceptMessage(Message& message, bool& shown)
{
    whenShown<QMessageBox>(window.get(), [&](QMessageBox* box) {
        // As the user reads it: the box shows its main text in bold.
        message
            = {box->windowTitle(), QTextDocumentFragment::fromHtml(box->text()).toPlainText(), box->informativeText()};
        shown = true;
        box->accept();
    });
}

Message tst_UpdateChecker::manualCheckMessage(QUpdateChecker* checker)
{
    Message message;
    bool shown = false;
    acceptMessage(message, shown);
    // What "Check for updates..." calls.
    checker->checkForUpdate(true, 0);
    if (!QTest::qWaitFor([&] { return shown; }, 60000))
        message.title = "no message box";
    return message;
}

bool tst_UpdateChecker::manualCheckDialog(QUpdateChecker* checker, std::function<void(QUpdatesDialog*)> answer)
{
    bool shown = false;
    whenShown<QUpdatesDialog>(window.get(), [&](QUpdatesDialog* dialog) {
        shown = true;
        answer(dialog);
    });
    checker->checkForUpdate(true, 0);
    return QTest::qWaitFor([&] { return shown && !checker->openDialog; }, 20000);
}

QString tst_UpdateChecker::manualCheckOutcome(QUpdateChecker* checker)
{
    QObject context;
    QString outcome;
    whenShown<QMessageBox>(&context, [&](QMessageBox* box) {
        outcome = QTextDocumentFragment::fromHtml(box->text()).toPlainText();
        box->accept();
    });
    whenShown<QUpdatesDialog>(&context, [&](QUpdatesDialog* dialog) {
        outcome = dialog->findChild<QLabel*>("textLabel")->text();
        dialog->findChild<QPushButton*>("remindButton")->click();
    });
    checker->setSilent(false);
    checker->setSilentMessages(false);
    checker->checkForUpdate(true, 0);
    if (!QTest::qWaitFor([&] { return !outcome.isEmpty() && !checker->openDialog; }, 60000))
        outcome = "nothing shown";
    // Only one of the two showed.
    PendingAnswer::dropWaiting(&context);
    return outcome;
}

void tst_UpdateChecker::manualCheckMessages_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("informative");

    QTest::newRow("up to date") << server.url("/uptodate.xml.gz") << "You're up to date!"
                                << "Quorbilan 3.0.0 is currently the newest version available.";
    QTest::newRow("two gzip members") << server.url("/members.xml.gz") << "You're up to date!"
                                      << "Quorbilan 3.0.0 is currently the newest version available.";
    QTest::newRow("connection refused") << QString("https://127.0.0.1:%1%2").arg(closedPort()).arg(feedPath)
                                        << "An error occurred while downloading the update. Please try again later."
                                        << "QNetworkReply::ConnectionRefusedError: Connection refused";
    // The informative text of an untrusted server is checked below: the SSL
    // errors' own texts follow the name.
    QTest::newRow("untrusted certificate")
        << untrustedServer.url(feedPath) << "An error occurred while downloading the update. Please try again later."
        << "QNetworkReply::SslHandshakeFailedError: ";
    QTest::newRow("not gzip") << server.url("/plain.xml.gz") << "An error occurred while parsing the update feed."
                              << "";
    QTest::newRow("not xml") << server.url("/garbage.xml.gz") << "An error occurred while parsing the update feed."
                             << "";
    QTest::newRow("missing feed") << server.url("/missing.xml.gz")
                                  << "An error occurred while downloading the update. Please try again later."
                                  << "QNetworkReply::ContentNotFoundError: ";
}

void tst_UpdateChecker::manualCheckMessages()
{
    QFETCH(QString, url);
    QFETCH(QString, text);
    QFETCH(QString, informative);

    // Automatic checks off: the user's first check of the run must still run at once.
    auto checker = makeChecker(url);
    checker->setAutoCheck(false);
    const Message message = manualCheckMessage(checker.get());
    QCOMPARE(message.title, QStringLiteral("Quorbilan"));
    QCOMPARE(message.text, text);
    if (informative.endsWith(": ")) {
        QVERIFY2(message.informative.startsWith(informative), qPrintable(message.informative));
        QVERIFY2(message.informative.size() > informative.size(), qPrintable(message.informative));
    } else {
        QCOMPARE(message.informative, informative);
    }
    if (QTest::currentDataTag() == QByteArray("untrusted certificate"))
        QVERIFY2(message.informative.contains("certificate", Qt::CaseInsensitive), qPrintable(message.informative));

    // Every outcome without an update stores the next check.
    QVERIFY(settings->valueDateTime(SettingUpdateCheckerNextCheck).isValid());
}

void tst_UpdateChecker::storedNextCheck_data()
{
    QTest::addColumn<QDateTime>("stored");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<qint64>("minDelayMs");
    QTest::addColumn<qint64>("maxDelayMs");

    const QDateTime now = QDateTime::currentDateTime();
    const qint64 day = 24 * 3600;
    QTest::newRow("5 hours ahead") << now.addSecs(5 * 3600) << true << qint64(5 * 3600 - 60) * 1000
                                   << qint64(5 * 3600) * 1000;
    QTest::newRow("in the past") << now.addSecs(-3600) << false << qint64(1000) << qint64(1000);
    // Further ahead than one interval is a wrong clock or a hand-edited
    // setting: the check comes one interval from now, and that is stored.
    QTest::newRow("25 hours ahead") << now.addSecs(25 * 3600) << false << (day - 60) * 1000 << day * 1000;
    QTest::newRow("60 days ahead") << now.addSecs(60 * day) << false << (day - 60) * 1000 << day * 1000;
    QTest::newRow("end of time") << QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)) << false << (day - 60) * 1000
                                 << day * 1000;
}

void tst_UpdateChecker::storedNextCheck()
{
    QFETCH(QDateTime, stored);
    QFETCH(bool, kept);
    QFETCH(qint64, minDelayMs);
    QFETCH(qint64, maxDelayMs);

    auto checker = makeChecker(server.url(feedPath));
    settings->setValueDateTime(SettingUpdateCheckerNextCheck, stored);
    checker->checkForUpdate(false, 24);

    QVERIFY(checker->timer->isActive());
    QVERIFY2(checker->timer->interval() >= minDelayMs && checker->timer->interval() <= maxDelayMs,
             qPrintable(QString::number(checker->timer->interval())));
    const QDateTime after = settings->valueDateTime(SettingUpdateCheckerNextCheck);
    if (kept) {
        // Stored in whole seconds.
        QCOMPARE(after.secsTo(stored), 0);
    } else if (stored > QDateTime::currentDateTime()) {
        // The time the timer aims at is the one stored, for the next start.
        const qint64 ahead = QDateTime::currentDateTime().secsTo(after);
        QVERIFY2(ahead > 23 * 3600 && ahead <= 24 * 3600, qPrintable(after.toString(Qt::ISODate)));
    } else {
        QVERIFY(!after.isValid());
    }
    QCOMPARE(checker->intervalHours, 24);
}

void tst_UpdateChecker::automaticCheckIsSilent()
{
    // With automatic checks off the first unforced call plans nothing.
    auto off = makeChecker(server.url("/uptodate.xml.gz"));
    off->setAutoCheck(false);
    off->checkForUpdate(false, 24);
    QVERIFY(!off->timer->isActive());

    // With them on (a first run's default) it runs after the initial delay,
    // silently, and plans the next one.
    init();
    auto checker = makeChecker(server.url("/uptodate.xml.gz"));
    checker->setSilent(true);
    checker->setSilentMessages(true);
    QSignalSpy notAvailable(checker.get(), &QUpdateChecker::updateNotAvailable);
    checker->checkForUpdate(false, 24);
    QCOMPARE(checker->timer->interval(), 1000);
    QVERIFY(notAvailable.wait(20000));
    QCOMPARE(notAvailable.first().at(0).toInt(), 0);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(checker->timer->isActive());
    QCOMPARE(checker->timer->interval(), 24 * 3600 * 1000);
    const qint64 ahead = QDateTime::currentDateTime().secsTo(settings->valueDateTime(SettingUpdateCheckerNextCheck));
    QVERIFY2(ahead > 23 * 3600 && ahead <= 24 * 3600, qPrintable(QString::number(ahead)));
}

void tst_UpdateChecker::manualCheckClearsSkippedVersion()
{
    auto checker = makeChecker(server.url(feedPath));
    settings->setValueString(SettingUpdateCheckerSkipVersion, "3.2");
    QVERIFY(manualCheckDialog(
        checker.get(), [](QUpdatesDialog* dialog) { dialog->findChild<QPushButton*>("remindButton")->click(); }));
    QCOMPARE(settings->valueString(SettingUpdateCheckerSkipVersion), QString());
}

void tst_UpdateChecker::skipStoresVersionAndAutomaticCheckReportsNothing()
{
    auto checker = makeChecker(server.url(feedPath));
    QVERIFY(manualCheckDialog(checker.get(),
                              [](QUpdatesDialog* dialog) { dialog->findChild<QPushButton*>("skipButton")->click(); }));
    QCOMPARE(settings->valueString(SettingUpdateCheckerSkipVersion), QStringLiteral("3.2"));
    QCOMPARE(checker->skipVersion, QStringLiteral("3.2"));
    QVERIFY(!settings->valueDateTime(SettingUpdateCheckerNextCheck).isValid());

    // The next automatic check finds only the skipped version: no update, no window.
    QSignalSpy available(checker.get(), &QUpdateChecker::updateAvailable);
    QSignalSpy notAvailable(checker.get(), &QUpdateChecker::updateNotAvailable);
    checker->checkForUpdate(false, 24);
    QVERIFY(notAvailable.wait(20000));
    QCOMPARE(notAvailable.first().at(0).toInt(), 0);
    QCOMPARE(available.count(), 0);
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_UpdateChecker::remindLaterRestartsTimerWithAutomaticChecksOff_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("remind button") << "remind";
    QTest::newRow("close button") << "close";
    QTest::newRow("escape") << "escape";
}

void tst_UpdateChecker::remindLaterRestartsTimerWithAutomaticChecksOff()
{
    QFETCH(QString, how);

    auto checker = makeChecker(server.url(feedPath));
    checker->setAutoCheck(false);
    // The program's schedule: a day between checks, nothing planned with checks off.
    checker->checkForUpdate(false, 24);
    QVERIFY(!checker->timer->isActive());

    QVERIFY(manualCheckDialog(checker.get(), [how](QUpdatesDialog* dialog) {
        if (how == "remind")
            dialog->findChild<QPushButton*>("remindButton")->click();
        else if (how == "close")
            dialog->close();
        else
            QTest::keyClick(dialog, Qt::Key_Escape);
    }));
    QVERIFY(checker->timer->isActive());
    QCOMPARE(checker->timer->interval(), 24 * 3600 * 1000);
    const qint64 ahead = QDateTime::currentDateTime().secsTo(settings->valueDateTime(SettingUpdateCheckerNextCheck));
    QVERIFY2(ahead > 23 * 3600 && ahead <= 24 * 3600, qPrintable(QString::number(ahead)));
    QCOMPARE(settings->valueInt(SettingUpdateCheckerAuto), 0);
}

void tst_UpdateChecker::checkForUpdateChangesNothingWhileDialogOpen()
{
    auto checker = makeChecker(server.url(feedPath));
    bool refused = false;
    QVERIFY(manualCheckDialog(checker.get(), [&](QUpdatesDialog* dialog) {
        settings->setValueString(SettingUpdateCheckerSkipVersion, "9.9");
        checker->checkForUpdate(true, 5);
        refused = settings->valueString(SettingUpdateCheckerSkipVersion) == "9.9" && !checker->timer->isActive()
            && checker->intervalHours == 0;
        dialog->findChild<QPushButton*>("remindButton")->click();
    }));
    QVERIFY(refused);
}

void tst_UpdateChecker::downloadOutcome_data()
{
    QTest::addColumn<QString>("feed");
    QTest::addColumn<bool>("fails");

    // The feed's installer is not on the server.
    QTest::newRow("installer missing") << QString(feedPath) << true;
    QTest::newRow("cancelled") << "/stallinstaller.xml.gz" << false;
}

void tst_UpdateChecker::downloadOutcome()
{
    QFETCH(QString, feed);
    QFETCH(bool, fails);

    auto checker = makeChecker(server.url(feed));
    checker->checkForUpdate(false, 24);
    Message message;
    bool answered = false;
    QVERIFY(manualCheckDialog(checker.get(), [&](QUpdatesDialog* dialog) {
        whenShown<QDownloadProgressDlg>(window.get(), [&](QDownloadProgressDlg* download) {
            if (!fails) {
                download->findChild<QPushButton*>("cancelButton")->click();
                answered = true;
                return;
            }
            // The failed download's box comes once the dialog has gone.
            whenShown<QMessageBox>(window.get(), [&](QMessageBox* box) {
                message = {box->windowTitle(), box->text(), box->informativeText()};
                answered = true;
                box->accept();
            });
        });
        dialog->findChild<QPushButton*>("installButton")->click();
    }));
    QVERIFY(QTest::qWaitFor([&] { return answered && !checker->openDialog; }, 20000));

    const QDateTime next = settings->valueDateTime(SettingUpdateCheckerNextCheck);
    if (fails) {
        // A failed download tells why and plans nothing.
        QCOMPARE(message.title, QStringLiteral("Quorbilan"));
        QCOMPARE(QTextDocumentFragment::fromHtml(message.text).toPlainText(), QCoreApplication::applicationName());
        QVERIFY2(message.informative.startsWith("An error occurred while downloading the update. Please try again "
                                                "later.\nQNetworkReply::NetworkError 203: "),
                 qPrintable(message.informative));
        QVERIFY(!next.isValid());
        QVERIFY(!checker->timer->isActive());
    } else {
        // A cancelled download reminds later.
        QVERIFY(next.isValid());
        QVERIFY(checker->timer->isActive());
        QCOMPARE(checker->timer->interval(), 24 * 3600 * 1000);
    }
}

void tst_UpdateChecker::stopDuringStalledCheck()
{
    auto checker = makeChecker(server.url("/stall.xml.gz"));
    QSignalSpy available(checker.get(), &QUpdateChecker::updateAvailable);
    QSignalSpy notAvailable(checker.get(), &QUpdateChecker::updateNotAvailable);
    const int before = server.requests().size();
    checker->setSilentMessages(false);
    checker->checkForUpdate(true, 0);
    QVERIFY(server.waitForRequests(before + 1));

    // A check that runs refuses an unforced plan.
    settings->setValueString(SettingUpdateCheckerSkipVersion, "9.9");
    checker->checkForUpdate(false, 5);
    QCOMPARE(settings->valueString(SettingUpdateCheckerSkipVersion), QStringLiteral("9.9"));
    QVERIFY(!checker->timer->isActive());
    QCOMPARE(checker->intervalHours, 0);

    // The server never answers: stop aborts the request instead of waiting for it.
    checker->stop();
    QVERIFY(!checker->isChecking());
    // Whatever the abandoned job might still post is dropped.
    QCoreApplication::processEvents();
    QCOMPARE(available.count(), 0);
    QCOMPARE(notAvailable.count(), 0);
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_UpdateChecker::updateDialogTexts()
{
    auto checker = makeChecker(server.url(feedPath));
    QVERIFY(checker->availableUpdate->fromXML(exampleFeed(server.url("/download/x.sh"))));
    QUpdatesDialog dialog(checker.get(), window.get());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Software Update"));
    QCOMPARE(dialog.findChild<QLabel*>("headlineLabel")->text(),
             QStringLiteral("<b>A new version of Quorbilan is available!</b>"));
    QCOMPARE(dialog.findChild<QLabel*>("textLabel")->text(),
             QStringLiteral("Quorbilan 3.2 is now available - you have 3.0.0. Would you like to download it now?"));
    QCOMPARE(dialog.findChild<QLabel*>("releaseNotesLabel")->text(), QStringLiteral("<b>Release Notes:</b>"));
    const QString notes = dialog.findChild<QTextBrowser*>("releaseNotes")->toPlainText();
    QVERIFY2(notes.contains("Faster compaction of large profiles"), qPrintable(notes));
    QVERIFY2(!notes.contains("A smaller window"), qPrintable(notes));
    QCOMPARE(dialog.findChild<QCheckBox*>("autoCheckBox")->text(), QStringLiteral("Check for updates automatically"));
    QCOMPARE(dialog.findChild<QPushButton*>("remindButton")->text(), QStringLiteral("    Remind Me Later    "));
    QCOMPARE(dialog.findChild<QPushButton*>("installButton")->text(), QStringLiteral("    Install Update    "));
    QCOMPARE(dialog.findChild<QPushButton*>("skipButton")->text(), QStringLiteral("    Skip This Version    "));
    QVERIFY(dialog.findChild<QPushButton*>("installButton")->isDefault());

    // The box writes the setting at once, whatever ends the dialog.
    QVERIFY(dialog.findChild<QCheckBox*>("autoCheckBox")->isChecked());
    dialog.findChild<QCheckBox*>("autoCheckBox")->setChecked(false);
    QCOMPARE(settings->valueInt(SettingUpdateCheckerAuto), 0);
}

void tst_UpdateChecker::updateDialogWithoutSettingsOrInstallableVersion()
{
    auto withoutStore = std::make_unique<QUpdateChecker>(server.url(feedPath), "Quorbilan", "3.0.0", nullptr,
                                                         language.get(), nullptr, nullptr);
    QVERIFY(withoutStore->availableUpdate->fromXML(exampleFeed(server.url("/download/x.sh"))));
    {
        QUpdatesDialog dialog(withoutStore.get(), nullptr);
        dialog.show();
        QVERIFY(!dialog.findChild<QPushButton*>("skipButton")->isVisible());
        QVERIFY(!dialog.findChild<QCheckBox*>("autoCheckBox")->isVisible());
        QVERIFY(dialog.findChild<QPushButton*>("remindButton")->isVisible());
        QVERIFY(dialog.findChild<QPushButton*>("installButton")->isEnabled());
    }

    // Only 3.2 is newer than 3.1, and it cannot be installed from the program.
    auto only32 = std::make_unique<QUpdateChecker>(server.url(feedPath), "Quorbilan", "3.1", settings.get(),
                                                   language.get(), nullptr, window.get());
    QVERIFY(only32->availableUpdate->fromXML(exampleFeed(server.url("/download/x.sh"), "noInstall=\"\"")));
    QUpdatesDialog dialog(only32.get(), window.get());
    QVERIFY(!dialog.findChild<QPushButton*>("installButton")->isEnabled());
}

void tst_UpdateChecker::hostileReleaseNotes()
{
    // Whatever opens this FIFO for reading waits for a writer that never comes.
    const QString fifo = root.path() + "/fifo";
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Relative names resolve against the working folder: give it files to find.
    const QString folder = root.path() + "/cwd";
    QDir().mkpath(folder);
    for (const char* name : {"local.png", "local.html"}) {
        QFile file(folder + "/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("local file");
    }
    const QString previousFolder = QDir::currentPath();
    QDir::setCurrent(folder);

    const QString https = "https://www.example.com/notes?x=1";
    const QStringList links = {"file://" + fifo, "file:///etc/hostname", "local.html", "javascript:alert(1)", https};
    QString notes = QString("<img src=\"file:///dev/zero\">zero <img src=\"file:///etc/hostname\">hostname "
                            "<img src=\"local.png\">relative <img src=\"%1\">fifo ")
                        .arg(fifo);
    for (const QString& link : links)
        notes += QString("<a href=\"%1\">link %2</a> ").arg(link).arg(links.indexOf(link));
    server.put("/hostile.xml.gz",
               gzipped(feedWithNotes("3.2&lt;b&gt;bold&lt;/b&gt;", "new", "<![CDATA[" + notes.toUtf8() + "]]>")));
    // What the desktop is asked to open, for every scheme a link here has;
    // any other would reach the platform, which says so.
    TestSupport::UrlCatcher desktop;
    for (const char* scheme : {"https", "http", "file", "javascript"})
        QDesktopServices::setUrlHandler(scheme, &desktop, "openUrl");
    QTest::failOnWarning(QRegularExpression("openUrl"));

    auto checker = makeChecker(server.url("/hostile.xml.gz"));
    QString plainBefore;
    QString plainAfter;
    QStringList sources;
    QString headline;
    Qt::TextFormat textFormat = Qt::AutoText;
    QList<bool> resourcesLoaded;
    QVERIFY(manualCheckDialog(checker.get(), [&](QUpdatesDialog* dialog) {
        auto* browser = dialog->findChild<QTextBrowser*>("releaseNotes");
        auto* text = dialog->findChild<QLabel*>("textLabel");
        headline = text->text();
        textFormat = text->textFormat();
        plainBefore = browser->toPlainText();
        for (const QString& src : {QString("file:///etc/hostname"), QString("local.png"), QString("file:///dev/zero"),
                                   QString("qrc:/UpdateChecker/new.png")}) {
            // Shown is anything with more than an empty pixel in it.
            const QVariant resource = browser->document()->resource(QTextDocument::ImageResource, QUrl(src));
            const QImage image = qvariant_cast<QImage>(resource);
            resourcesLoaded << (image.width() > 1 || !resource.toByteArray().isEmpty());
        }
        // Each link clicked as the user does, the https one last.
        for (const QString& link : links) {
            QTextCursor cursor(browser->document());
            cursor.setPosition(browser->document()->find(QString("link %1").arg(links.indexOf(link))).position());
            browser->setTextCursor(cursor);
            browser->ensureCursorVisible();
            const QPoint at = linkPosition(browser, link);
            if (at.x() < 0)
                sources << "no link " + link;
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at);
            sources << browser->source().toString();
        }
        plainAfter = browser->toPlainText();
        dialog->findChild<QPushButton*>("remindButton")->click();
    }));
    QDir::setCurrent(previousFolder);

    // The dialog showed the notes and their text; the feed's names stay text.
    QCOMPARE(textFormat, Qt::PlainText);
    QVERIFY2(headline.contains("3.2<b>bold</b>"), qPrintable(headline));
    QVERIFY2(plainBefore.contains("3.2<b>bold</b>"), qPrintable(plainBefore));
    QVERIFY2(plainBefore.contains("zero") && plainBefore.contains("link 4"), qPrintable(plainBefore));
    QVERIFY2(!plainBefore.contains("local file"), qPrintable(plainBefore));
    // Only the program's own image loads.
    QCOMPARE(resourcesLoaded, (QList<bool>{false, false, false, true}));
    // No click navigated the browser away from the notes.
    QCOMPARE(sources, QStringList(links.size(), QString()));
    QCOMPARE(plainAfter, plainBefore);
    // The desktop was asked to open the https link and nothing else.
    QCOMPARE(desktop.opened, QList<QUrl>{QUrl(https)});
    for (const char* scheme : {"https", "http", "file", "javascript"})
        QDesktopServices::unsetUrlHandler(scheme);
}

void tst_UpdateChecker::boundedFeed_data()
{
    QTest::addColumn<QString>("path");
    // Text of the notes when the dialog shows; empty for the parse error.
    QTest::addColumn<QString>("notesText");

    const qsizetype hundredMiB = 100 * 1024 * 1024;
    {
        QByteArray xml = "<?xml version=\"1.0\"?><quorbilan>";
        xml += QByteArray(hundredMiB, ' ');
        xml += "</quorbilan>";
        server.put("/whitespace.xml.gz", gzipped(xml));
    }
    server.put("/huge.xml.gz", QByteArray(hundredMiB, '<'));
    server.put("/markup.xml.gz", gzipped(feedWithNotes("3.2", "new", QByteArray("**a** [b](c) ").repeated(160000))));
    {
        QByteArray attributes;
        for (int i = 0; i < 600000; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"\"";
        server.put("/attributes.xml.gz", gzipped(feedOfVersions("<version name=\"3.2\"" + attributes + "/>")));
    }
    server.put("/tiny.xml.gz", gzipped(fillingFeed("", "<x/>", "")));
    server.put("/versions.xml.gz", gzipped(fillingFeed("", "<version name=\"2.9\"/>", "")));
    server.put("/items.xml.gz",
               gzipped(fillingFeed("<version name=\"3.2\">", "<item type=\"new\"><html lang=\"en\">x</html></item>",
                                   "</version>")));
    // Six tags a version: just under the limit of the feed's tags.
    server.put("/newer.xml.gz",
               gzipped(feedOfVersions(
                   QByteArray("<version name=\"3.1\"><item type=\"new\"><html lang=\"en\">n</html></item></version>")
                       .repeated(8000))));

    // A 100 MiB feed, unpacked from a small gzip file: past the unpacked limit.
    QTest::newRow("gzip of 100 MiB whitespace") << "/whitespace.xml.gz"
                                                << "";
    // 100 MiB on the wire: past the body's limit.
    QTest::newRow("100 MiB plain body") << "/huge.xml.gz"
                                        << "";
    // 2 MiB of notes markup: cut short, the dialog shows the rest.
    QTest::newRow("2 MiB of notes markup") << "/markup.xml.gz"
                                           << "a b a b";
    // Under both caps, yet past what a feed holds: refused before the parse.
    QTest::newRow("600,000 attributes in a version") << "/attributes.xml.gz"
                                                     << "";
    QTest::newRow("16 MiB of <x/>") << "/tiny.xml.gz"
                                    << "";
    QTest::newRow("16 MiB of older versions") << "/versions.xml.gz"
                                              << "";
    QTest::newRow("16 MiB of notes items") << "/items.xml.gz"
                                           << "";
    // The most the limits let through: the dialog, its notes cut.
    QTest::newRow("8,000 newer versions") << "/newer.xml.gz"
                                          << "3.1";
}

void tst_UpdateChecker::boundedFeed()
{
    QFETCH(QString, path);
    QFETCH(QString, notesText);
    const bool dialog = !notesText.isEmpty();

    auto checker = makeChecker(server.url(path));
    QVERIFY(resetPeakRss());
    const qint64 baseKiB = statusKiB("VmRSS");
    const qint64 cpuBefore = cpuMs();
    QElapsedTimer clock;
    clock.start();
    qint64 shownMs = -1;
    qint64 layoutMs = -1;
    QString notes;
    QString outcome;
    if (dialog) {
        QVERIFY(manualCheckDialog(checker.get(), [&](QUpdatesDialog* shown) {
            shownMs = clock.elapsed();
            auto* browser = shown->findChild<QTextBrowser*>("releaseNotes");
            QElapsedTimer layout;
            layout.start();
            browser->document()->documentLayout()->documentSize();
            layoutMs = layout.elapsed();
            notes = browser->toPlainText();
            shown->findChild<QPushButton*>("remindButton")->click();
        }));
    } else {
        // Whatever shows is answered, so that the figures below come out.
        outcome = manualCheckOutcome(checker.get());
        shownMs = clock.elapsed();
    }
    const qint64 peakKiB = statusKiB("VmHWM");
    const qint64 cpu = cpuMs() - cpuBefore;
    qInfo("%s: answer after %lld ms, %lld ms CPU (notes laid out in %lld ms), peak RSS %lld KiB above the %lld KiB "
          "before",
          QTest::currentDataTag(), shownMs, cpu, layoutMs, peakKiB - baseKiB, baseKiB);
    if (!dialog) {
        QCOMPARE(outcome, QStringLiteral("An error occurred while parsing the update feed."));
        // Nothing of a refused feed is kept.
        QVERIFY(checker->cachedFeed.isEmpty());
        QVERIFY(!checker->feedLastModified.isValid());
    }
    // A few seconds of CPU even in a sanitized build; a feed that slips past
    // the limits takes many times that.
    QVERIFY2(cpu <= 8000, qPrintable(QString::number(cpu)));
#ifdef __SANITIZE_ADDRESS__
    // ASan keeps freed memory in quarantine, where it would count as the program's.
    if (!qEnvironmentVariable("ASAN_OPTIONS").contains("quarantine_size_mb=0"))
        qWarning("peak RSS not judged: ASan's quarantine is on");
    else
#endif
        QVERIFY2(peakKiB - baseKiB <= 64 * 1024, qPrintable(QString::number(peakKiB - baseKiB)));
    if (dialog) {
        // Cut, visibly.
        QVERIFY2(notes.size() < 64 * 1024, qPrintable(QString::number(notes.size())));
        QVERIFY(notes.contains(notesText));
        QVERIFY(notes.trimmed().endsWith(QChar(0x2026)));
    }
}

void tst_UpdateChecker::versionNames_data()
{
    QTest::addColumn<QByteArray>("name");
    // The text of the message box, or of the dialog for the version it names.
    QTest::addColumn<QString>("outcome");

    const QString upToDate = "You're up to date!";
    const QString parseError = "An error occurred while parsing the update feed.";
    const auto offered = [](const QByteArray& version) {
        return QString("Quorbilan %1 is now available - you have 3.0.0. Would you like to download it now?")
            .arg(QString::fromUtf8(version));
    };
    // White space around a name and trailing separators are not part of it.
    QTest::newRow("trailing blank") << QByteArray("3.0.0 ") << upToDate;
    QTest::newRow("trailing line feed") << QByteArray("3.0.0&#10;") << upToDate;
    QTest::newRow("trailing tab, CR, LF") << QByteArray("3.0.0&#9;&#13;&#10;") << upToDate;
    QTest::newRow("trailing dot") << QByteArray("3.0.0.") << upToDate;
    QTest::newRow("newer, in white space") << QByteArray(" 3.2&#10;") << offered("3.2");
    // Names the dialog can show, up to the limits.
    const QByteArray longest = "3." + QByteArray(62, '1');
    QTest::newRow("64 characters") << longest << offered(longest);
    const QByteArray mostParts = "4" + QByteArray("a1").repeated(15) + "a";
    QTest::newRow("32 parts") << mostParts << offered(mostParts);
    // Beyond them the feed is not used.
    QTest::newRow("65 characters") << "3." + QByteArray(63, '1') << parseError;
    QTest::newRow("33 parts") << mostParts + "1" << parseError;
    QTest::newRow("64 KiB") << "3." + QByteArray(64 * 1024, '1') << parseError;
    QTest::newRow("1 MiB") << "4." + QByteArray(1024 * 1024, 'x') << parseError;
    QTest::newRow("15 MiB of dotted parts") << "3" + QByteArray(".1").repeated(15 * 512 * 1024) << parseError;
}

void tst_UpdateChecker::versionNames()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, outcome);

    const QString path = QString("/name-%1.xml.gz").arg(QTest::currentDataTag()).replace(' ', '-');
    server.put(path, gzipped(feedOfVersions("<version name=\"" + name + "\" date=\"1.2.2026\"/>")));
    auto checker = makeChecker(server.url(path));
    const qint64 cpuBefore = cpuMs();
    const QString shown = manualCheckOutcome(checker.get());
    const qint64 cpu = cpuMs() - cpuBefore;
    qInfo("%s: answer after %lld ms CPU", QTest::currentDataTag(), cpu);
    QCOMPARE(shown, outcome);
    // A refused name is never laid out, and a shown one is short.
    QVERIFY2(cpu <= 8000, qPrintable(QString::number(cpu)));
}

void tst_UpdateChecker::stalledServer_data()
{
    QTest::addColumn<bool>("silentFirst");
    QTest::newRow("manual check") << false;
    QTest::newRow("manual check during a silent one") << true;
}

void tst_UpdateChecker::stalledServer()
{
    QFETCH(bool, silentFirst);

    // The server never answers; a short time-out stands in for the real one.
    qputenv("QUORBILAN_UPDATE_TIMEOUT_MS", "3000");
    auto checker = makeChecker(server.url("/stall.xml.gz"));
    if (silentFirst) {
        checker->setSilent(true);
        checker->setSilentMessages(true);
        const int before = server.requests().size();
        checker->checkForUpdate(false, 24);
        QVERIFY(server.waitForRequests(before + 1));
    }
    const Message message = manualCheckMessage(checker.get());
    qunsetenv("QUORBILAN_UPDATE_TIMEOUT_MS");
    QCOMPARE(message.text, QStringLiteral("An error occurred while downloading the update. Please try again later."));
    QVERIFY2(message.informative.startsWith("QNetworkReply::TimeoutError: "), qPrintable(message.informative));
}

void tst_UpdateChecker::dribblingFeed()
{
    // One byte a second never trips the time-out without bytes; the deadline,
    // cut to 3 s, ends the check all the same.
    server.put("/dribble.xml.gz", gzipped(upToDateFeed()));
    server.dribble("/dribble.xml.gz");
    qputenv("QUORBILAN_UPDATE_DEADLINE_MS", "3000");
    auto checker = makeChecker(server.url("/dribble.xml.gz"));
    QSignalSpy running(checker.get(), SIGNAL(manualCheckRunning(bool)));
    const int before = server.requests().size();

    Message message;
    bool shown = false;
    acceptMessage(message, shown);
    checker->checkForUpdate(true, 0);
    QVERIFY(server.waitForRequests(before + 1));
    // A second click while the user's check runs starts nothing new.
    checker->checkForUpdate(true, 0);
    QVERIFY(QTest::qWaitFor([&] { return shown; }, 60000));
    qunsetenv("QUORBILAN_UPDATE_DEADLINE_MS");

    QCOMPARE(message.text, QStringLiteral("An error occurred while downloading the update. Please try again later."));
    QCOMPARE(message.informative,
             QStringLiteral("QNetworkReply::TimeoutError: The download did not finish within 3 seconds"));
    QCOMPARE(server.requests().mid(before).filter("/dribble.xml.gz").size(), 1);
    // The check said that it ran, and that it ended.
    QCOMPARE(running.size(), 2);
    QCOMPARE(running.at(0).at(0).toBool(), true);
    QCOMPARE(running.at(1).at(0).toBool(), false);
}

int main(int argc, char** argv)
{
    return runIsolatedTest<tst_UpdateChecker>(argc, argv);
}

#include "tst_UpdateChecker.moc"
