#include "AppSettings.h"
#include "Browser.h"
#include "BrowsersList.h"
#include "FakeProgram.h"
#include "IsolatedTestMain.h"
#include "MainWindowDriver.h"
#include "ModalDriver.h"
#include "ProductIdentity.h"
#include "ProgramFixture.h"
#include "QuorbilanApp.h"
#include "SettingsKeys.h"
#include "SqliteFixture.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <memory>

using namespace TestSupport;

namespace {

const QString hint = QStringLiteral("Available profiles. Close the selected programs first.<br>"
                                    "A profile folder of a portable copy can be dragged here.");

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

bool isBold(LogView* log, int row)
{
    return log->item(row)->font().weight() == QFont::Bold;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startUp();
    void menus();
    void fullRun();
    void stopDuringALongVacuum();
    void clickBeforeTheEndArrivesIsAStop();
    void runningProgramWarning();
    void droppedFolders();
    void addFromTheMenu();
    void removeCustomProfile();
    void boxesShowNamesAsTyped_data();
    void boxesShowNamesAsTyped();
    void refreshKeepsTicks();
    void refreshAfterARun();
    void runOverProfilesWithoutDatabases();
    void listRefusedWhileAJobRuns();
    void closeSavesAndARestartRestores();
    void closeDuringARunLosesNothing();
    void closeDuringLoadingLosesNothing();

private:
    MainWindowDriver openWindow();
    MainWindowDriver openLoadedWindow();
    // A custom folder whose first database takes long to compact.
    QString makeLongProfile(const QString& name);
    // Runs the scenario helper in its own world below `world`.
    QStringList runScenario(const QString& world, const QString& scenario, const QStringList& environment = {});

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ProgramFixture> fixture;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<UnansweredDialogs> unanswered;
};

void TestMainWindow::init()
{
    unanswered = std::make_unique<UnansweredDialogs>();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    fixture = std::make_unique<ProgramFixture>(dir->filePath("programs"));
    QVERIFY(fixture->buildStandardTree());
    fixture->setEnvironment();
    AppSettings* settings = QuorbilanApp::instance()->settings;
    settings->setValueStringList(SettingSelectedProfiles, {});
    settings->setValueStringList(SettingCustomProfiles, {});
    settings->setValueString(SettingLastBrowsedDir, {});
}

void TestMainWindow::cleanup()
{
    window.reset();
    // The programs list outlives the windows: start every test from an empty one.
    BrowsersList* list = QuorbilanApp::instance()->browsers();
    for (const auto& browser : list->browsers()) {
        while (!browser->profiles().empty())
            browser->removeProfile(browser->profiles().front().get());
    }
    while (!list->customProfiles().empty())
        list->removeCustomProfile(list->customProfiles().front().get());
    fixture.reset();
    dir.reset();
    const QStringList unexpected = unanswered->closed();
    unanswered.reset();
    QVERIFY2(unexpected.isEmpty(), qPrintable("asked with no step waiting for it: " + unexpected.join("; ")));
}

MainWindowDriver TestMainWindow::openWindow()
{
    window = std::make_unique<MainWindow>();
    window->show();
    return MainWindowDriver{window.get()};
}

MainWindowDriver TestMainWindow::openLoadedWindow()
{
    MainWindowDriver w = openWindow();
    if (!QTest::qWaitFor([&] { return w.loaded(); }, 60000))
        qWarning("the profiles did not load");
    return w;
}

QString TestMainWindow::makeLongProfile(const QString& name)
{
    const QString folder = dir->filePath(name);
    QDir().mkpath(folder);
    if (!createBloatedDatabase(folder + "/a-big.sqlite", 60000, 1000, 30000)
        || !createBloatedDatabase(folder + "/b-later.sqlite", 200, 1000, 20))
        return {};
    return folder;
}

void TestMainWindow::startUp()
{
    window = std::make_unique<MainWindow>();
    MainWindowDriver w{window.get()};
    // Before the search has ended.
    QCOMPARE(window->windowTitle(), QUORBILAN_PRODUCT_NAME " " QUORBILAN_VERSION_TEXT);
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(w.infoLabel()->text(), hint);
    QCOMPARE(w.infoLabel()->textFormat(), Qt::RichText);
    QVERIFY(w.infoLabel()->wordWrap());
    QCOMPARE(w.optimizeButton()->text(), "Optimize!");
    QVERIFY(w.optimizeButton()->isDefault());
    QVERIFY(!w.optimizeButton()->isEnabled());
    QVERIFY(!w.refreshAction()->isEnabled());
    QCOMPARE(w.tree()->topLevelItemCount(), 0);
    QCOMPARE(w.pages()->currentWidget(), w.tree());
    QCOMPARE(w.pages()->frameShape(), QFrame::StyledPanel);
    QCOMPARE(w.pages()->frameShadow(), QFrame::Sunken);
    QCOMPARE(w.tree()->frameShape(), QFrame::NoFrame);
    QCOMPARE(w.log()->frameShape(), QFrame::NoFrame);
    QVERIFY(w.progressBar()->isHidden());
    QVERIFY(!w.progressBar()->isTextVisible());
    QVERIFY(window->findChild<QLabel*>("updateLabel")->isHidden());
    QCOMPARE(w.button("commandLineButton")->text(), "Command line...");
    QCOMPARE(w.button("aboutButton")->text(), "About");
    QCOMPARE(w.button("exitButton")->text(), "Exit");
    for (const char* name : {"commandLineButton", "aboutButton", "exitButton"})
        QVERIFY(w.button(name)->isEnabled());
    QCOMPARE(window->size(), QSize(620, 460));
    QCOMPARE(window->minimumSize(), QSize(520, 360));

    // The buttons in their row: help and About left, Optimize and Exit right.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(w.button("commandLineButton")->x() < w.button("aboutButton")->x());
    QVERIFY(w.button("aboutButton")->x() + 100 < w.optimizeButton()->x());
    QVERIFY(w.optimizeButton()->x() < w.button("exitButton")->x());

    // Once the search has ended the tree is filled and everything is ticked.
    QTRY_VERIFY_WITH_TIMEOUT(w.loaded(), 60000);
    QCOMPARE(size_t(w.tree()->topLevelItemCount()),
             QuorbilanApp::instance()->browsers()->browsersWithProfiles().size());
    QCOMPARE(w.group("Firefox")->checkState(0), Qt::Checked);
    QVERIFY(w.optimizeButton()->isEnabled());
    QVERIFY(w.refreshAction()->isEnabled());

    // No ticks, no optimizing.
    for (int i = 0; i < w.tree()->topLevelItemCount(); ++i)
        w.tree()->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    QVERIFY(!w.optimizeButton()->isEnabled());
    w.tickGroup("Vivaldi", true);
    QVERIFY(w.optimizeButton()->isEnabled());
}

void TestMainWindow::menus()
{
    MainWindowDriver w = openWindow();
    struct Entry
    {
        QString text;
        QKeySequence shortcut;
        QAction::MenuRole role;
    };
    const QList<QPair<QString, QList<Entry>>> expected = {
        {"&File",
         {{"&Add custom profile...", {}, QAction::TextHeuristicRole},
          {"&Refresh the list", QKeySequence(QKeySequence::Refresh), QAction::TextHeuristicRole},
          {"", {}, QAction::TextHeuristicRole},
          {"E&xit", {}, QAction::QuitRole}}},
        {"&Help",
         {{"Check for updates...", {}, QAction::ApplicationSpecificRole},
          {"Quorbilan home page", {}, QAction::TextHeuristicRole},
          {"", {}, QAction::TextHeuristicRole},
          {"About Quorbilan", {}, QAction::AboutRole}}},
    };
    const QList<QAction*> menus = window->menuBar()->actions();
    QCOMPARE(menus.size(), expected.size());
    for (int m = 0; m < menus.size(); ++m) {
        QCOMPARE(menus[m]->text(), expected[m].first);
        const QList<QAction*> entries = menus[m]->menu()->actions();
        QCOMPARE(entries.size(), expected[m].second.size());
        for (int e = 0; e < entries.size(); ++e) {
            const Entry& entry = expected[m].second[e];
            QCOMPARE(entries[e]->isSeparator(), entry.text.isEmpty());
            QCOMPARE(entries[e]->text(), entry.text);
            QCOMPARE(entries[e]->shortcut(), entry.shortcut);
            QCOMPARE(entries[e]->menuRole(), entry.role);
            // Only the refresh waits for the search.
            if (!entry.text.isEmpty() && entry.text != "&Refresh the list")
                QVERIFY(entries[e]->isEnabled());
        }
    }

    // The About entry and button, and the help button, open their dialogs.
    const QList<QPair<QString, std::function<void()>>> openers = {
        {"About Quorbilan", [&] { w.action("About Quorbilan")->trigger(); }},
        {"About Quorbilan", [&] { w.click(w.button("aboutButton")); }},
        {"Command line", [&] { w.click(w.button("commandLineButton")); }},
    };
    for (const auto& opener : openers) {
        QString title;
        QWidget* parent = nullptr;
        whenShown<QDialog>(window.get(), [&](QDialog* dialog) {
            title = dialog->windowTitle();
            parent = dialog->parentWidget();
            dialog->reject();
        });
        opener.second();
        QCOMPARE(title, opener.first == "About Quorbilan" ? QString("About Quorbilan") : opener.first);
        QCOMPARE(parent, window.get());
    }
}

void TestMainWindow::fullRun()
{
    MainWindowDriver w = openLoadedWindow();
    QVERIFY(w.loaded());
    BrowsersList* list = QuorbilanApp::instance()->browsers();
    w.tickGroup("Chrome", false);

    // What the run must reach: every ticked file compacted, the rest untouched.
    const std::vector<BrowserProfile*> ticked = w.tree()->checkedProfiles();
    QVERIFY(ticked.size() > 10);
    qint64 totalBefore = 0;
    QMap<QString, int> rowsBefore;
    QMap<QString, qint64> sizeBefore;
    for (BrowserProfile* profile : ticked) {
        totalBefore += profile->totalSize();
        for (const QString& file : profile->databases()) {
            rowsBefore[file] = rowCount(file);
            sizeBefore[file] = QFileInfo(file).size();
        }
    }
    QMap<QString, QByteArray> untouched;
    for (BrowserProfile* profile : list->allProfiles()) {
        if (!profile->selected) {
            for (const QString& file : profile->databases())
                untouched[file] = fileHash(file);
        }
    }
    QVERIFY(!untouched.isEmpty());

    w.click(w.optimizeButton());
    QVERIFY(w.onLogPage());
    QCOMPARE(w.infoLabel()->text(), "Optimization progress:");
    QVERIFY(w.progressBar()->isVisible());
    QCOMPARE(w.optimizeButton()->text(), "Stop");
    QVERIFY(w.optimizeButton()->isEnabled());
    QVERIFY(!w.refreshAction()->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(w.optimizeButton()->text(), QString("Optimize again"), 120000);
    QVERIFY(w.optimizeButton()->isEnabled());
    QVERIFY(w.refreshAction()->isEnabled());
    QVERIFY(w.onLogPage());
    QCOMPARE(w.progressBar()->maximum(), int(totalBefore / 1024));
    QCOMPARE(w.progressBar()->value(), w.progressBar()->maximum());

    // The log: bold headings, one per profile, and the summary at the end.
    const QStringList lines = w.logLines();
    QCOMPARE(lines.first(), "Starting optimization");
    QVERIFY(isBold(w.log(), 0));
    const int firstProfile = lines.indexOf("Optimizing " + ticked.front()->displayName());
    QVERIFY(firstProfile > 0);
    QVERIFY(isBold(w.log(), firstProfile));
    QVERIFY(!isBold(w.log(), firstProfile + 1));
    QVERIFY(lines.last().startsWith("Completed in "));
    QVERIFY(isBold(w.log(), lines.size() - 1));
    QVERIFY(lines.at(lines.size() - 2).startsWith(QString("Total: optimized %1 files").arg(rowsBefore.size())));
    QCOMPARE(lines.filter(QRegularExpression("^Optimizing ")).size(), int(ticked.size()));

    // The databases: smaller or equal, sound and complete; the unticked ones byte for byte the same.
    qint64 totalAfter = 0;
    for (auto it = rowsBefore.cbegin(); it != rowsBefore.cend(); ++it) {
        QCOMPARE(integrityCheck(it.key()), "ok");
        QCOMPARE(rowCount(it.key()), it.value());
        QVERIFY(QFileInfo(it.key()).size() <= sizeBefore[it.key()]);
        totalAfter += QFileInfo(it.key()).size();
    }
    QVERIFY(totalAfter < totalBefore);
    for (auto it = untouched.cbegin(); it != untouched.cend(); ++it)
        QCOMPARE(fileHash(it.key()), it.value());

    // Back to the tree, which shows the new sizes.
    w.click(w.optimizeButton());
    QCOMPARE(w.pages()->currentWidget(), w.tree());
    QCOMPARE(w.infoLabel()->text(), hint);
    QVERIFY(w.progressBar()->isHidden());
    QCOMPARE(w.optimizeButton()->text(), "Optimize!");
    QVERIFY(w.optimizeButton()->isEnabled());
    for (QTreeWidgetItemIterator it(w.tree()); *it; ++it) {
        if (auto* row = dynamic_cast<ProfileTreeItem*>(*it); row && !row->profile->databases().isEmpty())
            QCOMPARE(row->text(3), sizeText(row->profile->totalSize()));
    }
    auto* firstRow = dynamic_cast<ProfileTreeItem*>(w.group("Firefox")->child(0));
    QVERIFY(firstRow->text(3) != sizeText(firstRow->profile->totalSize() + 1024 * 1024));

    // The next press starts a new run with a fresh log.
    w.click(w.optimizeButton());
    QCOMPARE(w.optimizeButton()->text(), "Stop");
    QTRY_COMPARE_WITH_TIMEOUT(w.optimizeButton()->text(), QString("Optimize again"), 120000);
    QCOMPARE(w.logLines().count("Starting optimization"), 1);
}

void TestMainWindow::stopDuringALongVacuum()
{
    const QString folder = makeLongProfile("long");
    QVERIFY(!folder.isEmpty());
    const QString big = folder + "/a-big.sqlite";
    const QByteArray laterHash = fileHash(folder + "/b-later.sqlite");
    MainWindowDriver w = openLoadedWindow();
    w.dropFolder(folder);
    w.tickOnlyGroup("Custom profiles");
    QCOMPARE(w.tree()->checkedCount(), 1);

    w.click(w.optimizeButton());
    QTRY_VERIFY_WITH_TIMEOUT(w.logLines().contains("a-big.sqlite..."), 60000);
    w.click(w.optimizeButton());
    // Disabled at once, before the run has noticed.
    QVERIFY(!w.optimizeButton()->isEnabled());
    QCOMPARE(w.optimizeButton()->text(), "Stop");
    QTRY_VERIFY_WITH_TIMEOUT(w.optimizeButton()->isEnabled(), 120000);
    QCOMPARE(w.optimizeButton()->text(), "Optimize again");
    QCOMPARE(w.logLines().last(), "Operation terminated");
    QVERIFY(isBold(w.log(), w.log()->count() - 1));
    QVERIFY(!w.logLines().contains("b-later.sqlite..."));
    QCOMPARE(w.progressBar()->value(), w.progressBar()->maximum());
    QCOMPARE(integrityCheck(big), "ok");
    QCOMPARE(rowCount(big), 30000);
    QCOMPARE(fileHash(folder + "/b-later.sqlite"), laterHash);
}

void TestMainWindow::clickBeforeTheEndArrivesIsAStop()
{
    MainWindowDriver w = openLoadedWindow();
    w.tickOnlyGroup("Waterfox");
    w.click(w.optimizeButton());
    QCOMPARE(w.optimizeButton()->text(), "Stop");
    // The run ends on its thread while this one handles no events: its end
    // is queued, not yet seen, when the user clicks.
    QThreadPool::globalInstance()->waitForDone();
    w.click(w.optimizeButton());
    QTRY_COMPARE_WITH_TIMEOUT(w.optimizeButton()->text(), QString("Optimize again"), 60000);
    QVERIFY(w.onLogPage());
    QVERIFY(w.optimizeButton()->isEnabled());
    QVERIFY(w.logLines().last().startsWith("Completed in"));
    // The next click goes back to the profiles, as after any run.
    w.click(w.optimizeButton());
    QVERIFY(!w.onLogPage());
    QCOMPARE(w.optimizeButton()->text(), "Optimize!");
}

void TestMainWindow::runningProgramWarning()
{
    // A program is seen running by its executable's name.
    FakeProgram firefox(dir->filePath("bin"), "firefox");
    QVERIFY(firefox.isRunning());

    MainWindowDriver w = openLoadedWindow();
    const QString expectedText = "Firefox still running.\n\nA running program keeps its databases locked, "
                                 "and they cannot be optimized. Close it and try again.";
    struct Seen
    {
        QString title, text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QAbstractButton* defaultButton;
        QAbstractButton* retry;
    };
    QList<Seen> seen;
    auto record = [&](QMessageBox* box) {
        seen << Seen{box->windowTitle(),     box->text(),          box->icon(),
                     box->standardButtons(), box->defaultButton(), box->button(QMessageBox::Retry)};
    };

    // Cancel: nothing starts, the tree stays.
    whenShown<QMessageBox>(window.get(), [&](QMessageBox* box) {
        record(box);
        box->button(QMessageBox::Cancel)->click();
    });
    w.click(w.optimizeButton());
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].title, "Quorbilan");
    QCOMPARE(seen[0].text, expectedText);
    QCOMPARE(seen[0].icon, QMessageBox::Warning);
    QCOMPARE(seen[0].buttons, QMessageBox::Retry | QMessageBox::Cancel);
    QCOMPARE(seen[0].defaultButton, seen[0].retry);
    QCOMPARE(w.pages()->currentWidget(), w.tree());
    QCOMPARE(w.infoLabel()->text(), hint);
    QCOMPARE(w.log()->count(), 0);
    QCOMPARE(w.optimizeButton()->text(), "Optimize!");
    QVERIFY(w.optimizeButton()->isEnabled());

    // Retry while it still runs asks again; Retry after it has ended starts the run.
    seen.clear();
    whenShown<QMessageBox>(window.get(), [&](QMessageBox* box) {
        record(box);
        whenShown<QMessageBox>(window.get(), [&](QMessageBox* again) {
            record(again);
            firefox.stop();
            again->button(QMessageBox::Retry)->click();
        });
        box->button(QMessageBox::Retry)->click();
    });
    w.click(w.optimizeButton());
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[1].text, expectedText);
    QVERIFY(w.onLogPage());
    QCOMPARE(w.optimizeButton()->text(), "Stop");
    QTRY_COMPARE_WITH_TIMEOUT(w.optimizeButton()->text(), QString("Optimize again"), 120000);
    QVERIFY(w.logLines().last().startsWith("Completed in "));
}

void TestMainWindow::droppedFolders()
{
    MainWindowDriver w = openLoadedWindow();
    const int groups = w.tree()->topLevelItemCount();
    QVERIFY(!w.group("Custom profiles"));

    // A portable Firefox profile: listed under the custom group with its family, ticked and current.
    const QString portable = dir->filePath("Portable Firefox/Data/profile");
    QVERIFY(fixture->makeFirefoxProfile(portable));
    w.dropFolder(portable);
    QTreeWidgetItem* custom = w.group("Custom profiles");
    QVERIFY(custom);
    QCOMPARE(w.tree()->topLevelItem(w.tree()->topLevelItemCount() - 1), custom);
    QCOMPARE(custom->childCount(), 1);
    auto* row = dynamic_cast<ProfileTreeItem*>(custom->child(0));
    QCOMPARE(row->profile->name, "profile");
    QCOMPARE(row->text(0), row->profile->displayName());
    QCOMPARE(row->text(1), QDir::toNativeSeparators(portable));
    QCOMPARE(row->checkState(0), Qt::Checked);
    QCOMPARE(row->profile->family, "Mozilla");
    QCOMPARE(w.tree()->currentItem(), row);

    // A folder without databases: the warning, and the list stays as it was.
    const QString empty = dir->filePath("nothing here");
    QVERIFY(QDir().mkpath(empty));
    QString text, title;
    QMessageBox::StandardButtons buttons;
    QAbstractButton* defaultButton = reinterpret_cast<QAbstractButton*>(1);
    whenShown<QMessageBox>(window.get(), [&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        defaultButton = box->defaultButton();
        box->button(QMessageBox::Ok)->click();
    });
    w.dropFolder(empty);
    QCOMPARE(title, "Quorbilan");
    QCOMPARE(text, "No SQLite databases found in " + QDir::toNativeSeparators(empty));
    QCOMPARE(buttons, QMessageBox::Ok);
    QCOMPARE(defaultButton, nullptr);
    QCOMPARE(w.tree()->topLevelItemCount(), groups + 1);
    QCOMPARE(w.group("Custom profiles")->childCount(), 1);

    // A folder that is already listed: its row becomes current, nothing is added.
    BrowserProfile* known = dynamic_cast<ProfileTreeItem*>(w.group("Firefox")->child(1))->profile;
    w.dropFolder(known->path);
    QCOMPARE(w.tree()->topLevelItemCount(), groups + 1);
    QCOMPARE(w.group("Custom profiles")->childCount(), 1);
    QCOMPARE(static_cast<ProfileTreeItem*>(w.tree()->currentItem())->profile, known);
}

void TestMainWindow::addFromTheMenu()
{
    MainWindowDriver w = openLoadedWindow();
    AppSettings* settings = QuorbilanApp::instance()->settings;
    const QString chosen = dir->filePath("chosen");
    QVERIFY(QDir().mkpath(chosen));
    QVERIFY(createBloatedDatabase(chosen + "/records.sqlite", 50, 100, 10));

    // The first dialog opens in the home folder; the chosen folder is listed and remembered.
    QString caption, startFolder;
    bool dirsOnly = false;
    whenShown<QFileDialog>(window.get(), [&](QFileDialog* dialog) {
        caption = dialog->windowTitle();
        startFolder = dialog->directory().absolutePath();
        dirsOnly = dialog->testOption(QFileDialog::ShowDirsOnly) && dialog->fileMode() == QFileDialog::Directory;
        dialog->setDirectory(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    w.action("&Add custom profile...")->trigger();
    QCOMPARE(caption, "Choose a profile folder");
    QCOMPARE(startFolder, QDir::homePath());
    QVERIFY(dirsOnly);
    QCOMPARE(settings->valueString(SettingLastBrowsedDir), chosen);
    QVERIFY(w.group("Custom profiles"));
    QCOMPARE(w.group("Custom profiles")->child(0)->text(1), QDir::toNativeSeparators(chosen));
    QCOMPARE(w.group("Custom profiles")->child(0)->checkState(0), Qt::Checked);

    // The tree's context menu asks for the same dialog, which now opens in the last folder;
    // cancelling changes nothing.
    startFolder.clear();
    whenShown<QMenu>(window.get(), [](QMenu* menu) { chooseEntry(menu, "Add custom profile..."); });
    whenShown<QFileDialog>(window.get(), [&](QFileDialog* dialog) {
        startFolder = dialog->directory().absolutePath();
        dialog->reject();
    });
    const QRect groupRow = w.tree()->visualItemRect(w.group("Custom profiles"));
    requestContextMenu(w.tree(), groupRow.center());
    QCOMPARE(startFolder, chosen);
    QCOMPARE(w.group("Custom profiles")->childCount(), 1);
    QCOMPARE(settings->valueString(SettingLastBrowsedDir), chosen);
}

void TestMainWindow::removeCustomProfile()
{
    const QString folder = dir->filePath("My Data/archive");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(createBloatedDatabase(folder + "/notes.sqlite", 50, 100, 10));
    AppSettings* settings = QuorbilanApp::instance()->settings;
    const QStringList stored = {"\t" + folder};
    settings->setValueStringList(SettingCustomProfiles, stored);
    MainWindowDriver w = openLoadedWindow();
    QVERIFY(w.group("Custom profiles"));
    QTreeWidgetItem* row = w.group("Custom profiles")->child(0);

    auto askRemove = [&](QMessageBox::StandardButton answer) {
        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        bool yesIsDefault = false;
        whenShown<QMenu>(window.get(), [](QMenu* menu) { chooseEntry(menu, "Remove"); });
        whenShown<QMessageBox>(window.get(), [&, answer](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
            box->button(answer)->click();
        });
        requestContextMenu(w.tree(), w.tree()->visualItemRect(row).center());
        QCOMPARE(title, "Quorbilan");
        QCOMPARE(text, "Remove the custom profile archive from the list?");
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(yesIsDefault);
    };

    askRemove(QMessageBox::No);
    QVERIFY(w.group("Custom profiles"));
    QCOMPARE(QuorbilanApp::instance()->browsers()->customProfiles().size(), size_t(1));

    askRemove(QMessageBox::Yes);
    QVERIFY(!w.group("Custom profiles"));
    QVERIFY(QuorbilanApp::instance()->browsers()->customProfiles().empty());
    // Written by the next refresh or the close, not here.
    QCOMPARE(settings->valueStringList(SettingCustomProfiles), stored);
}

void TestMainWindow::boxesShowNamesAsTyped_data()
{
    QTest::addColumn<QString>("folder"); // below the test's folder
    QTest::addColumn<bool>("listed"); // a custom profile already, or dropped
    QTest::addColumn<QString>("prefix"); // the box's text before the name
    QTest::addColumn<QString>("suffix");
    QTest::newRow("dropped folder without databases") << "<b>bold</b>" << false << "No SQLite databases found in "
                                                      << "";
    QTest::newRow("removal of a custom profile") << "Data/<i>archive" << true << "Remove the custom profile "
                                                 << " from the list?";
}

void TestMainWindow::boxesShowNamesAsTyped()
{
    QFETCH(QString, folder);
    QFETCH(bool, listed);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    const QString path = dir->filePath(folder);
    QVERIFY(QDir().mkpath(path));
    if (listed) {
        QVERIFY(createBloatedDatabase(path + "/notes.sqlite", 50, 100, 10));
        QuorbilanApp::instance()->settings->setValueStringList(SettingCustomProfiles, {"\t" + path});
    }
    MainWindowDriver w = openLoadedWindow();

    QString shown;
    whenShown<QMessageBox>(window.get(), [&](QMessageBox* box) {
        shown = shownMainText(box);
        box->button(listed ? QMessageBox::No : QMessageBox::Ok)->click();
    });
    QString name;
    if (listed) {
        QVERIFY(w.group("Custom profiles"));
        whenShown<QMenu>(window.get(), [](QMenu* menu) { chooseEntry(menu, "Remove"); });
        requestContextMenu(w.tree(), w.tree()->visualItemRect(w.group("Custom profiles")->child(0)).center());
        name = QFileInfo(path).fileName();
    } else {
        w.dropFolder(path);
        name = QDir::toNativeSeparators(path);
    }
    QCOMPARE(shown, prefix + name + suffix);
}

void TestMainWindow::refreshKeepsTicks()
{
    MainWindowDriver w = openLoadedWindow();
    AppSettings* settings = QuorbilanApp::instance()->settings;
    const QString portable = dir->filePath("Portable/profile");
    QVERIFY(fixture->makeFirefoxProfile(portable));
    w.dropFolder(portable);
    w.tickGroup("Chrome", false);
    w.group("Firefox")->child(1)->setCheckState(0, Qt::Unchecked);
    const QStringList ticked = w.checkedPaths();
    const int groups = w.tree()->topLevelItemCount();

    w.refreshAction()->trigger();
    // The ticks and custom profiles are stored before the list is searched again.
    QCOMPARE(settings->valueStringList(SettingSelectedProfiles), ticked);
    QCOMPARE(settings->valueStringList(SettingCustomProfiles), QStringList{"Mozilla\t" + portable});
    QCOMPARE(w.tree()->topLevelItemCount(), 0);
    QVERIFY(!w.optimizeButton()->isEnabled());
    QVERIFY(!w.refreshAction()->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(w.loaded(), 60000);
    QCOMPARE(w.tree()->topLevelItemCount(), groups);
    QCOMPARE(w.checkedPaths(), ticked);
    QCOMPARE(w.group("Chrome")->checkState(0), Qt::Unchecked);
    QCOMPARE(w.group("Firefox")->checkState(0), Qt::PartiallyChecked);
    QCOMPARE(w.group("Custom profiles")->child(0)->text(1), QDir::toNativeSeparators(portable));
    QVERIFY(w.optimizeButton()->isEnabled());
}

void TestMainWindow::refreshAfterARun()
{
    MainWindowDriver w = openLoadedWindow();
    w.tickOnlyGroup("Vivaldi");
    w.click(w.optimizeButton());
    QTRY_COMPARE_WITH_TIMEOUT(w.optimizeButton()->text(), QString("Optimize again"), 60000);

    // The tree comes back, the log is emptied, the button keeps its text.
    w.refreshAction()->trigger();
    QCOMPARE(w.pages()->currentWidget(), w.tree());
    QCOMPARE(w.infoLabel()->text(), hint);
    QVERIFY(w.progressBar()->isHidden());
    QCOMPARE(w.log()->count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(w.loaded(), 60000);
    QCOMPARE(w.optimizeButton()->text(), "Optimize again");
    QVERIFY(w.optimizeButton()->isEnabled());

    // With the tree showing, the button starts the next run at once.
    w.click(w.optimizeButton());
    QVERIFY(w.onLogPage());
    QCOMPARE(w.optimizeButton()->text(), "Stop");
    QTRY_COMPARE_WITH_TIMEOUT(w.optimizeButton()->text(), QString("Optimize again"), 60000);
    QCOMPARE(w.logLines().filter("Optimizing ").size(), 1);
}

void TestMainWindow::runOverProfilesWithoutDatabases()
{
    // A listed profile whose only database is gone: the run has nothing to count.
    QString emptyPath;
    for (const ExpectedProfile& profile : fixture->expected()) {
        if (profile.program == "Firefox" && profile.name == "d.lower")
            emptyPath = profile.path;
    }
    QVERIFY(QFile::remove(emptyPath + "/storage.sqlite"));
    MainWindowDriver w = openLoadedWindow();
    for (int i = 0; i < w.tree()->topLevelItemCount(); ++i)
        w.tree()->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    ProfileTreeItem* emptyRow = nullptr;
    for (QTreeWidgetItemIterator it(w.tree()); *it; ++it) {
        if (auto* row = dynamic_cast<ProfileTreeItem*>(*it); row && row->profile->path == emptyPath)
            emptyRow = row;
    }
    QVERIFY(emptyRow);
    QCOMPARE(emptyRow->text(3), "-");
    emptyRow->setCheckState(0, Qt::Checked);
    QCOMPARE(w.checkedPaths(), QStringList{emptyPath});

    w.click(w.optimizeButton());
    QTRY_COMPARE_WITH_TIMEOUT(w.optimizeButton()->text(), QString("Optimize again"), 60000);
    QVERIFY(w.logLines().contains("No databases found in this profile"));
    // Full, not the busy indicator of an empty range.
    QVERIFY(w.progressBar()->maximum() > w.progressBar()->minimum());
    QCOMPARE(w.progressBar()->value(), w.progressBar()->maximum());
}

void TestMainWindow::listRefusedWhileAJobRuns()
{
    const QString extra = dir->filePath("extra");
    QVERIFY(QDir().mkpath(extra));
    QVERIFY(createBloatedDatabase(extra + "/x.sqlite", 20, 100, 5));
    const QString empty = dir->filePath("empty");
    QVERIFY(QDir().mkpath(empty));
    BrowsersList* list = QuorbilanApp::instance()->browsers();

    // Anything that asks: it must not appear while a job runs.
    int asked = 0;
    QObject watch;
    std::function<void(QDialog*)> refuse = [&](QDialog* dialog) {
        ++asked;
        dialog->reject();
        whenShown<QDialog>(&watch, refuse);
    };
    whenShown<QDialog>(&watch, refuse);

    // While the profiles load.
    MainWindowDriver w = openWindow();
    QVERIFY(!w.loaded());
    w.tree()->customProfileDropped(extra);
    w.tree()->addCustomProfileRequested();
    w.action("&Add custom profile...")->trigger();
    w.refreshAction()->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(w.loaded(), 60000);
    QCOMPARE(asked, 0);
    QVERIFY(list->customProfiles().empty());
    QVERIFY(!w.group("Custom profiles"));

    // While a run compacts.
    const QString folder = makeLongProfile("long");
    w.dropFolder(folder);
    BrowserProfile* longProfile = list->customProfiles().front().get();
    w.tickOnlyGroup("Custom profiles");
    const int groups = w.tree()->topLevelItemCount();
    w.click(w.optimizeButton());
    QTRY_VERIFY_WITH_TIMEOUT(w.logLines().contains("a-big.sqlite..."), 60000);
    QVERIFY(!w.refreshAction()->isEnabled());
    w.dropFolder(extra);
    w.dropFolder(empty);
    w.tree()->removeCustomProfileRequested(longProfile);
    w.action("&Add custom profile...")->trigger();
    w.refreshAction()->trigger();
    QCOMPARE(w.optimizeButton()->text(), "Stop");
    QCOMPARE(list->customProfiles().size(), size_t(1));
    QCOMPARE(w.tree()->topLevelItemCount(), groups);
    w.click(w.optimizeButton());
    QTRY_VERIFY_WITH_TIMEOUT(w.optimizeButton()->isEnabled(), 120000);
    QCOMPARE(asked, 0);
    QCOMPARE(list->customProfiles().size(), size_t(1));

    // Afterwards the same requests work again.
    PendingAnswer::dropWaiting(&watch);
    whenShown<QMessageBox>(window.get(), [&asked](QMessageBox* box) {
        ++asked;
        box->button(QMessageBox::Ok)->click();
    });
    w.tree()->customProfileDropped(empty);
    QCOMPARE(asked, 1);
    w.tree()->customProfileDropped(extra);
    QCOMPARE(list->customProfiles().size(), size_t(2));
}

QStringList TestMainWindow::runScenario(const QString& world, const QString& scenario, const QStringList& environment)
{
    QProcessEnvironment env = worldEnvironment(world);
    for (const QString& entry : environment)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    QProcess helper;
    helper.setProcessEnvironment(env);
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(MAINWINDOW_SCENARIO, {scenario});
    if (!helper.waitForFinished(300000) || helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0) {
        qWarning("scenario %s failed: exit %d", qPrintable(scenario), helper.exitCode());
        return {"failed"};
    }
    return QString::fromUtf8(helper.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

void TestMainWindow::closeSavesAndARestartRestores()
{
    const QString world = dir->filePath("world");
    const QString portable = dir->filePath("Portable/profile");
    QVERIFY(fixture->makeFirefoxProfile(portable));
    const QStringList env
        = {"LOCALAPPDATA=" + fixture->localAppData(), "APPDATA=" + fixture->appData(), "SCENARIO_FOLDER=" + portable};

    const QStringList saved = runScenario(world, "save", env);
    QVERIFY2(saved.contains("closed"), qPrintable(saved.join('\n')));
    QSettings stored(settingsFileIn(world), QSettings::IniFormat);
    const QStringList selected = stored.value("SelectedProfiles").toStringList();
    QCOMPARE(stored.value("CustomProfiles").toStringList(), QStringList{"Mozilla\t" + portable});
    QVERIFY(!stored.value("WindowGeometry").toByteArray().isEmpty());
    QVERIFY(!stored.value("WindowState").toByteArray().isEmpty());
    // What the window had ticked when it closed.
    QStringList tickedAtClose;
    for (const QString& line : saved) {
        if (line.startsWith("checked="))
            tickedAtClose << line.mid(8);
    }
    QCOMPARE(selected, tickedAtClose);
    QVERIFY(selected.contains(portable));

    // A restart shows the same ticks, the custom profile and the window where it was.
    const QStringList restored = runScenario(world, "restore", env);
    QVERIFY2(restored.contains("size=700x520"), qPrintable(restored.join('\n')));
    QStringList tickedAfter;
    for (const QString& line : restored) {
        if (line.startsWith("checked="))
            tickedAfter << line.mid(8);
    }
    QCOMPARE(tickedAfter, tickedAtClose);
    QVERIFY(restored.contains("custom=" + portable));
}

void TestMainWindow::closeDuringARunLosesNothing()
{
    const QString world = dir->filePath("world");
    const QString folder = makeLongProfile("long");
    QVERIFY(!folder.isEmpty());
    const QByteArray laterHash = fileHash(folder + "/b-later.sqlite");
    const QStringList env
        = {"LOCALAPPDATA=" + fixture->localAppData(), "APPDATA=" + fixture->appData(), "SCENARIO_FOLDER=" + folder};
    const QStringList out = runScenario(world, "closeDuringRun", env);
    QVERIFY2(out.contains("runningAtClose") && out.contains("closed"), qPrintable(out.join('\n')));
    QCOMPARE(integrityCheck(folder + "/a-big.sqlite"), "ok");
    QCOMPARE(rowCount(folder + "/a-big.sqlite"), 30000);
    QCOMPARE(fileHash(folder + "/b-later.sqlite"), laterHash);
    QSettings stored(settingsFileIn(world), QSettings::IniFormat);
    QCOMPARE(stored.value("SelectedProfiles").toStringList(), QStringList{folder});
    QCOMPARE(stored.value("CustomProfiles").toStringList(), QStringList{"\t" + folder});
}

void TestMainWindow::closeDuringLoadingLosesNothing()
{
    // Many profiles, so the search is still going when the window closes.
    ProgramFixture large(dir->filePath("large"));
    QVERIFY(large.buildLargeTree(6, 4));
    const QString world = dir->filePath("world");
    const QString custom = dir->filePath("custom");
    QVERIFY(QDir().mkpath(custom));
    QVERIFY(createBloatedDatabase(custom + "/c.sqlite", 20, 100, 5));
    const QStringList env = {"LOCALAPPDATA=" + large.localAppData(), "APPDATA=" + large.appData()};

    // The ticks and custom profiles a previous run left: one profile of Firefox and the custom folder.
    const QStringList first = runScenario(world, "list", env);
    QStringList paths;
    for (const QString& line : first) {
        if (line.startsWith("checked="))
            paths << line.mid(8);
    }
    QVERIFY(paths.size() > 100);
    const QStringList selected = {paths.at(1), custom};
    const QStringList customs = {"\t" + custom};
    {
        QSettings stored(settingsFileIn(world), QSettings::IniFormat);
        stored.setValue("SelectedProfiles", selected);
        stored.setValue("CustomProfiles", customs);
    }

    for (int round = 0; round < 3; ++round) {
        const QStringList out = runScenario(world, "closeDuringLoading", env);
        QVERIFY2(out.contains("closed"), qPrintable(out.join('\n')));
        QSettings stored(settingsFileIn(world), QSettings::IniFormat);
        QCOMPARE(stored.value("SelectedProfiles").toStringList(), selected);
        QCOMPARE(stored.value("CustomProfiles").toStringList(), customs);
        if (round == 0)
            QVERIFY2(out.contains("loadingAtClose"), "the search ended before the close");
    }
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestMainWindow, QuorbilanApp>(argc, argv, AppArguments::None);
}

#include "tst_MainWindow.moc"
