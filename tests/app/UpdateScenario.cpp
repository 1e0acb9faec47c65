// Runs the program's update service from its main window in a process of its
// own, as a user meets it, and prints what the test compares. The scenario is
// named by SCENARIO; lines also go to the file SCENARIO_LOG, which the
// downloaded installer appends to when it runs.
#include "GuiStart.h"
#include "MainWindow.h"
#include "MainWindowDriver.h"
#include "ModalDriver.h"
#include "QDownloadProgressDlg.h"
#include "QUpdateChecker.h"
#include "QUpdatesDialog.h"
#include "QuorbilanApp.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTextBrowser>
#include <QTextDocumentFragment>

#include <cstdio>
#include <map>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
    QFile log(qEnvironmentVariable("SCENARIO_LOG"));
    if (log.open(QIODevice::Append))
        log.write(line.toUtf8() + "\n");
}

// Reaches a label's connection count, which QObject keeps protected: a
// member pointer named through a derived class may point at it.
struct ConnectionCount : QLabel
{
    static int of(QLabel* label)
    {
        int (QObject::*receivers)(const char*) const = &ConnectionCount::receivers;
        return (label->*receivers)(SIGNAL(linkActivated(QString)));
    }
};

QLabel* updateLabel(MainWindow* window)
{
    return window->findChild<QLabel*>("updateLabel");
}

// Watches what the checker announces, from whichever thread it comes.
void reportSignals(QUpdateChecker* checker)
{
    QObject::connect(
        checker, &QUpdateChecker::updateAvailable, checker, [](QString v) { say("signal updateAvailable " + v); },
        Qt::DirectConnection);
    QObject::connect(
        checker, &QUpdateChecker::updateNotAvailable, checker,
        [](int reason, int, QString) { say(QString("signal updateNotAvailable %1").arg(reason)); },
        Qt::DirectConnection);
}

void answerDownloadDialog()
{
    whenShown<QDownloadProgressDlg>(qApp, [](QDownloadProgressDlg* dialog) {
        say("download dialog " + dialog->windowTitle());
        auto* install = dialog->findChild<QPushButton*>("installButton");
        if (!QTest::qWaitFor([&] { return install->isVisible(); }, 30000)) {
            say("download not ready");
            dialog->reject();
            return;
        }
        say("download status " + dialog->findChild<QLabel*>("statusLabel")->text());
        install->click();
    });
}

bool updateDialogAnswered = false;

bool checkDone(QUpdateChecker* checker)
{
    return !checker->isChecking();
}

void answerUpdateDialog(const QString& button)
{
    whenShown<QUpdatesDialog>(qApp, [button](QUpdatesDialog* dialog) {
        say("dialog title " + dialog->windowTitle());
        say("dialog headline " + dialog->findChild<QLabel*>("headlineLabel")->text());
        say("dialog text " + dialog->findChild<QLabel*>("textLabel")->text());
        const QString notes = dialog->findChild<QTextBrowser*>("releaseNotes")->toPlainText();
        say(QString("dialog notes %1").arg(notes.contains("Faster compaction of large profiles") ? "3.2" : notes));
        if (button == "installButton")
            answerDownloadDialog();
        dialog->findChild<QPushButton*>(button)->click();
        updateDialogAnswered = true;
    });
}

// The silent start-up check finds 3.2 and shows the link; the user's check
// leads through both dialogs to "Install and Relaunch", which quits.
void install(MainWindow* window, QUpdateChecker* checker)
{
    QLabel* link = updateLabel(window);
    if (!QTest::qWaitFor([&] { return link->isVisible(); }, 30000)) {
        say("no link");
        QCoreApplication::quit();
        return;
    }
    emit checker->updateAvailable("3.2");
    QCoreApplication::processEvents();
    say("link " + link->text());
    say(QString("link connections %1").arg(ConnectionCount::of(link)));
    say(QString("timer after silent find %1").arg(checker->timer->isActive() ? "active" : "stopped"));

    // A check still finishing refuses a new one, as it would refuse the user's click.
    if (!QTest::qWaitFor([&] { return checkDone(checker); }, 30000))
        say("silent check still running");
    answerUpdateDialog("installButton");
    MainWindowDriver{window}.action("Check for updates...")->trigger();
}

// Automatic checks off: nothing runs at start, the menu's check still does.
void autoOff(MainWindow* window, QUpdateChecker* checker)
{
    say(QString("timer at start %1").arg(checker->timer->isActive() ? "active" : "stopped"));
    answerUpdateDialog("remindButton");
    MainWindowDriver{window}.action("Check for updates...")->trigger();
    if (!QTest::qWaitFor([&] { return updateDialogAnswered && !checker->openDialog; }, 30000))
        say("no update dialog");
    say(QString("timer after remind %1 ms").arg(checker->timer->isActive() ? checker->timer->interval() : -1));
    window->close();
}

// The silent start-up check shows the link; the user follows it and skips
// the version: the link goes, and comes back with the next version announced.
void skip(MainWindow* window, QUpdateChecker* checker)
{
    QLabel* link = updateLabel(window);
    if (!QTest::qWaitFor([&] { return link->isVisible() && checkDone(checker); }, 30000)) {
        say("no link");
        window->close();
        return;
    }
    say("link shown");
    answerUpdateDialog("skipButton");
    emit link->linkActivated("update");
    if (!QTest::qWaitFor([&] { return updateDialogAnswered && !checker->openDialog; }, 30000))
        say("no update dialog");
    say(QString("link after skip %1").arg(link->isVisible() ? "shown" : "hidden"));
    // As the next silent check would announce it.
    checker->setSilent(true);
    emit checker->updateAvailable("3.3");
    QCoreApplication::processEvents();
    say(QString("link after the next version %1").arg(link->isVisible() ? "shown" : "hidden"));
    window->close();
}

// The start-up check's server never answers: the quit must not wait for it.
// Closes once the server's log (SCENARIO_SERVER_LOG) shows the request.
void quitDuringStall(MainWindow* window, QUpdateChecker* checker)
{
    QFile serverLog(qEnvironmentVariable("SCENARIO_SERVER_LOG"));
    const bool arrived = QTest::qWaitFor(
        [&] {
            if (!serverLog.open(QIODevice::ReadOnly))
                return false;
            const bool stalled = serverLog.readAll().contains(" stall ");
            serverLog.close();
            return stalled && checker->isChecking();
        },
        30000);
    if (!arrived)
        say("no stalled request");
    say("closing");
    window->close();
}

// The start-up check is held back for real: its trust store
// (QUORBILAN_UPDATE_CA) is a FIFO nobody writes yet, so its job blocks in
// open() where no abort reaches it. Writes SCENARIO_CA into the FIFO.
void releaseTrustStore()
{
    QFile source(qEnvironmentVariable("SCENARIO_CA"));
    QFile fifo(qEnvironmentVariable("QUORBILAN_UPDATE_CA"));
    if (!source.open(QIODevice::ReadOnly) || !fifo.open(QIODevice::WriteOnly))
        say("cannot release the trust store");
    fifo.write(source.readAll());
}

// Whether a thread of this process waits in open() for a FIFO's writer, as
// the kernel names the wait.
bool stuckInFifo()
{
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile wchan("/proc/self/task/" + task + "/wchan");
        if (wchan.open(QIODevice::ReadOnly) && wchan.readAll() == "wait_for_partner")
            return true;
    }
    return false;
}

// The user's check while the start-up check is stuck: the menu answers at
// once, says the check runs, and the user's check gets its dialog.
void manualDuringSlowCheck(MainWindow* window, QUpdateChecker* checker)
{
    if (!QTest::qWaitFor([&] { return checker->isChecking() && stuckInFifo(); }, 30000))
        say("no stuck start-up check");
    QAction* action = MainWindowDriver{window}.action("Check for updates...");
    answerUpdateDialog("remindButton");
    action->trigger();
    say("menu returned");
    say(QString("menu item while checking %1").arg(action->isEnabled() ? "enabled" : "disabled"));
    releaseTrustStore();
    if (!QTest::qWaitFor([&] { return updateDialogAnswered && !checker->openDialog && checkDone(checker); }, 30000))
        say("no update dialog");
    say(QString("menu item after the check %1").arg(action->isEnabled() ? "enabled" : "disabled"));
    window->close();
}

// The quit while the start-up check is stuck for good.
void quitDuringSlowCheck(MainWindow* window, QUpdateChecker* checker)
{
    if (!QTest::qWaitFor([&] { return checker->isChecking() && stuckInFifo(); }, 30000))
        say("no stuck start-up check");
    say("closing");
    window->close();
}

// Automatic checks off: the user's check finds nothing; the next check of
// the schedule finds 3.2 (at SCENARIO_NEXT_FEED) and, silent as the schedule
// is, shows only the link.
void manualThenScheduled(MainWindow* window, QUpdateChecker* checker)
{
    bool told = false;
    whenShown<QMessageBox>(qApp, [&](QMessageBox* box) {
        say("message " + QTextDocumentFragment::fromHtml(box->text()).toPlainText());
        told = true;
        box->accept();
    });
    MainWindowDriver{window}.action("Check for updates...")->trigger();
    if (!QTest::qWaitFor([&] { return told && !checker->openDialog && checkDone(checker); }, 30000))
        say("no message");

    // Another file: what was cached of the first is no answer to it.
    checker->feedUrl = qEnvironmentVariable("SCENARIO_NEXT_FEED");
    checker->feedLastModified = QDateTime();
    checker->cachedFeed.clear();
    bool dialogShown = false;
    whenShown<QUpdatesDialog>(qApp, [&](QUpdatesDialog* dialog) {
        dialogShown = true;
        dialog->findChild<QPushButton*>("remindButton")->click();
    });
    checker->timer->start(0);
    QLabel* link = updateLabel(window);
    if (!QTest::qWaitFor([&] { return link->isVisible() && !checker->openDialog && checkDone(checker); }, 30000))
        say("no link");
    QCoreApplication::processEvents();
    say(QString("scheduled find %1").arg(dialogShown ? "opened the update dialog" : "showed the link only"));
    // The watch for a dialog that must not show.
    PendingAnswer::dropWaiting(qApp);
    window->close();
}

const std::map<QString, void (*)(MainWindow*, QUpdateChecker*)> scenarios = {
    {"install", install},
    {"autoOff", autoOff},
    {"skip", skip},
    {"quitDuringStall", quitDuringStall},
    {"manualDuringSlowCheck", manualDuringSlowCheck},
    {"quitDuringSlowCheck", quitDuringSlowCheck},
    {"manualThenScheduled", manualThenScheduled},
};

int runScenario(char** argv)
{
    const QString scenario = qEnvironmentVariable("SCENARIO");
    int appArgc = 1;
    QuorbilanApp app(appArgc, argv);
    int result = 0;
    {
        std::unique_ptr<MainWindow> window = createMainWindow(app);
        QUpdateChecker* checker = app.updateChecker;
        reportSignals(checker);
        window->show();
        // A scenario that went wrong ends instead of waiting for a dialog for ever.
        QTimer::singleShot(60000, window.get(), [] {
            say("scenario timed out");
            QCoreApplication::exit(3);
        });
        QTimer::singleShot(0, window.get(), [&] {
            const auto run = scenarios.find(scenario);
            if (run != scenarios.end())
                run->second(window.get(), checker);
            else {
                say("unknown scenario " + scenario);
                QCoreApplication::exit(2);
            }
        });
        result = QApplication::exec();
        app.exitCode = result;
        window.reset();
        say("window closed");
    }
    say("event loop ended");
    return result;
}

} // namespace

int main(int, char** argv)
{
    const int result = runScenario(argv);
    say("application gone");
    return result;
}
