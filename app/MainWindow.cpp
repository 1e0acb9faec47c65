#include "MainWindow.h"

#include "AboutDialog.h"
#include "AppSettings.h"
#include "Browser.h"
#include "BrowserProfile.h"
#include "BrowsersList.h"
#include "CommandLineDialog.h"
#include "DatabaseFiles.h"
#include "HomePage.h"
#include "LogView.h"
#include "Optimizer.h"
#include "OptimizerRelay.h"
#include "ProductIdentity.h"
#include "ProfilesLoader.h"
#include "ProfilesTree.h"
#include "QFileDownloader.h"
#include "QMessageBoxLocalized.h"
#include "QUpdateChecker.h"
#include "QtHelpers.h"
#include "QuorbilanApp.h"
#include "RunningPrograms.h"
#include "SettingsKeys.h"
#include "VisibleText.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

const QString productName = QStringLiteral(QUORBILAN_PRODUCT_NAME);
const int updateIntervalHours = 24;

// The compressed update feed on the maker's server; tests point the checker
// at a local server instead.
QString updateFeedUrl()
{
    const QString replacement = updateFeedUrlOverride();
    return replacement.isEmpty() ? QStringLiteral("https://www.example.com/update/quorbilan.xml.gz") : replacement;
}

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindowEx(parent)
{
    setupUi();
    setWindowTitle(productName + QStringLiteral(" ") + QStringLiteral(QUORBILAN_VERSION_TEXT));
    setWindowIcon(appIcon());

    optimizer = std::make_unique<Optimizer>();
    // The log and the progress bar take a run's lines in batches.
    auto* relay = new OptimizerRelay(optimizer.get());
    connect(relay, &OptimizerRelay::logLine, logView, &LogView::slotAddLine);
    connect(relay, &OptimizerRelay::progressRangeChanged, this,
            [this](int maximumKb) { progressBar->setRange(0, maximumKb); });
    connect(relay, &OptimizerRelay::progressChanged, progressBar, &QProgressBar::setValue);
    connect(relay, &OptimizerRelay::finished, this, &MainWindow::slotOptimizerFinished);

    connect(optimizeButton, &QPushButton::clicked, this, &MainWindow::slotOptimize);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
    connect(aboutButton, &QPushButton::clicked, this, &MainWindow::slotAbout);
    connect(commandLineButton, &QPushButton::clicked, this, &MainWindow::slotCommandLineHelp);
    connect(exitAction, &QAction::triggered, this, &QWidget::close);
    connect(addCustomProfileAction, &QAction::triggered, this, &MainWindow::slotAddCustomProfile);
    connect(refreshAction, &QAction::triggered, this, &MainWindow::slotRefresh);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::slotAbout);
    connect(checkForUpdatesAction, &QAction::triggered, this, &MainWindow::slotCheckUpdates);
    connect(homePageAction, &QAction::triggered, QCoreApplication::instance(), [] { openHomePage(); });

    connect(profilesTree, &ProfilesTree::checkedCountChanged, this, &MainWindow::slotCheckedCountChanged);
    connect(profilesTree, &ProfilesTree::customProfileDropped, this, &MainWindow::slotCustomProfileDropped);
    connect(profilesTree, &ProfilesTree::addCustomProfileRequested, this, &MainWindow::slotAddCustomProfile);
    connect(profilesTree, &ProfilesTree::removeCustomProfileRequested, this, &MainWindow::slotRemoveCustomProfile);

    profilesLoader = std::make_unique<ProfilesLoader>();
    connect(profilesLoader.get(), &ProfilesLoader::finished, this, &MainWindow::slotPopulateFinished);

    restoreWindowState(this, appSettings());
    showProfilesPage();
    setupUpdateChecker();

    optimizeButton->setEnabled(false);
    refreshAction->setEnabled(false);
    loading = true;
    profilesLoader->start(browsers(), appSettings());
}

MainWindow::~MainWindow()
{
    if (optimizer) {
        optimizer->requestStop();
        optimizer->waitForFinished();
    }
    if (profilesLoader)
        profilesLoader->waitForFinished();
    profilesLoader.reset();
    optimizer.reset();
}

void MainWindow::setupUi()
{
    central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    infoLabel = named(new QLabel(central), "infoLabel");
    infoLabel->setWordWrap(true);
    infoLabel->setTextFormat(Qt::RichText);
    layout->addWidget(infoLabel, 0);

    pages = named(new QStackedWidget(central), "pages");
    pages->setFrameShape(QFrame::StyledPanel);
    pages->setFrameShadow(QFrame::Sunken);
    profilesTree = named(new ProfilesTree(pages), "profilesTree");
    profilesTree->setFrameShape(QFrame::NoFrame);
    logView = named(new LogView(pages), "logView");
    logView->setFrameShape(QFrame::NoFrame);
    pages->addWidget(profilesTree);
    pages->addWidget(logView);
    layout->addWidget(pages, 1);

    progressBar = named(new QProgressBar(central), "progressBar");
    progressBar->setTextVisible(false);
    progressBar->hide();
    layout->addWidget(progressBar, 0);

    auto* buttons = new QHBoxLayout;
    commandLineButton = named(new QPushButton(QStringLiteral("Command line..."), central), "commandLineButton");
    aboutButton = named(new QPushButton(QStringLiteral("About"), central), "aboutButton");
    updateLabel = named(new QLabel(central), "updateLabel");
    updateLabel->setTextFormat(Qt::RichText);
    updateLabel->hide();
    optimizeButton = named(new QPushButton(QStringLiteral("Optimize!"), central), "optimizeButton");
    optimizeButton->setDefault(true);
    exitButton = named(new QPushButton(QStringLiteral("Exit"), central), "exitButton");
    buttons->addWidget(commandLineButton);
    buttons->addWidget(aboutButton);
    buttons->addSpacing(12);
    buttons->addWidget(updateLabel);
    buttons->addStretch(1);
    buttons->addWidget(optimizeButton);
    buttons->addWidget(exitButton);
    layout->addLayout(buttons);

    setCentralWidget(central);
    setupMenus();
    resize(620, 460);
    setMinimumSize(520, 360);
}

void MainWindow::setupMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addCustomProfileAction = file->addAction(QStringLiteral("&Add custom profile..."));
    refreshAction = file->addAction(QStringLiteral("&Refresh the list"));
    refreshAction->setShortcut(QKeySequence::Refresh);
    file->addSeparator();
    exitAction = file->addAction(QStringLiteral("E&xit"));
    exitAction->setMenuRole(QAction::QuitRole);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    checkForUpdatesAction = help->addAction(QStringLiteral("Check for updates..."));
    checkForUpdatesAction->setMenuRole(QAction::ApplicationSpecificRole);
    homePageAction = help->addAction(productName + QStringLiteral(" home page"));
    help->addSeparator();
    aboutAction = help->addAction(QStringLiteral("About ") + productName);
    aboutAction->setMenuRole(QAction::AboutRole);
}

AppSettings* MainWindow::appSettings()
{
    if (!settings)
        settings = QuorbilanApp::instance()->settings;
    return settings;
}

BrowsersList* MainWindow::browsers() const
{
    return QuorbilanApp::instance()->browsers();
}

bool MainWindow::busy() const
{
    return optimizing || loading;
}

void MainWindow::showProfilesPage()
{
    pages->setCurrentWidget(profilesTree);
    infoLabel->setText(QStringLiteral("Available profiles. Close the selected programs first.<br>")
                       + QStringLiteral("A profile folder of a portable copy can be dragged here."));
    progressBar->hide();
}

void MainWindow::slotPopulateFinished()
{
    loading = false;
    refreshAction->setEnabled(true);
    profilesTree->populate(browsers());
}

void MainWindow::slotOptimize()
{
    if (optimizing) {
        optimizer->requestStop();
        optimizeButton->setEnabled(false);
        return;
    }
    if (optimizedOnce && pages->currentWidget() == logView) {
        profilesTree->refreshSizes();
        showProfilesPage();
        optimizeButton->setText(QStringLiteral("Optimize!"));
        return;
    }
    const std::vector<BrowserProfile*> profiles = profilesTree->checkedProfiles();
    if (profiles.empty())
        return;
    if (!confirmNotRunning(profiles))
        return;

    logView->clear();
    pages->setCurrentWidget(logView);
    infoLabel->setText(QStringLiteral("Optimization progress:"));
    progressBar->show();
    progressBar->setValue(0);
    optimizeButton->setText(QStringLiteral("Stop"));
    refreshAction->setEnabled(false);
    optimizedOnce = true;
    optimizing = true;
    optimizer->start(profiles);
}

bool MainWindow::confirmNotRunning(const std::vector<BrowserProfile*>& profiles)
{
    for (;;) {
        const QStringList running = runningPrograms(browsers()->programsForProfiles(profiles));
        if (running.isEmpty())
            return true;
        const QString text = QStringLiteral("%1 still running.\n\n").arg(running.join(QStringLiteral(", ")))
            + QStringLiteral("A running program keeps its databases locked, and they cannot be optimized. "
                             "Close it and try again.");
        const int answer = QMessageBoxLocalized::warning(this, productName, text,
                                                         QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry);
        if (answer != QMessageBox::Retry)
            return false;
    }
}

void MainWindow::slotOptimizerFinished(bool cancelled, bool fatalError)
{
    // The optimizer has written the outcome into the log.
    Q_UNUSED(cancelled);
    Q_UNUSED(fatalError);
    optimizing = false;
    optimizeButton->setText(QStringLiteral("Optimize again"));
    optimizeButton->setEnabled(true);
    refreshAction->setEnabled(true);
    // A run over profiles without databases has the range 0 to 0, which the
    // bar shows as still busy; a finished run shows a full bar.
    if (progressBar->maximum() == 0)
        progressBar->setMaximum(1);
    progressBar->setValue(progressBar->maximum());
}

void MainWindow::slotCheckedCountChanged(int count)
{
    optimizeButton->setEnabled(count > 0);
}

void MainWindow::slotCustomProfileDropped(QString folder)
{
    if (busy())
        return;
    BrowserProfile* profile = browsers()->addCustomProfile(folder);
    if (profile) {
        profilesTree->populate(browsers());
        profilesTree->selectProfile(profile);
        return;
    }
    const QString reason = scanSqliteDatabases(folder, false).folderError;
    const QString shown = visibleText(QDir::toNativeSeparators(folder));
    const QString text = reason.isEmpty() ? QStringLiteral("No SQLite databases found in %1").arg(shown)
                                          : QStringLiteral("The folder %1 cannot be read: %2").arg(shown, reason);
    QMessageBoxLocalized::warning(this, productName, text, QMessageBox::Ok, QMessageBox::NoButton);
}

void MainWindow::slotAddCustomProfile()
{
    if (busy())
        return;
    QString start = appSettings()->valueString(SettingLastBrowsedDir);
    if (start.isEmpty())
        start = QDir::homePath();
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose a profile folder"), start,
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    appSettings()->setValueString(SettingLastBrowsedDir, folder);
    slotCustomProfileDropped(folder);
}

void MainWindow::slotRemoveCustomProfile(BrowserProfile* profile)
{
    if (!profile || !profile->custom || optimizing)
        return;
    const int answer = QMessageBoxLocalized::question(
        this, productName,
        QStringLiteral("Remove the custom profile %1 from the list?").arg(visibleText(profile->name)),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes)
        return;
    // Saved by the next refresh or at the close.
    browsers()->removeCustomProfile(profile);
    profilesTree->populate(browsers());
}

void MainWindow::slotRefresh()
{
    if (busy())
        return;
    profilesTree->storeCheckStates();
    browsers()->saveSettings(appSettings());

    profilesTree->clear();
    logView->clear();
    optimizedOnce = false;
    showProfilesPage();

    // Program profiles are searched anew; custom profiles stay.
    for (const auto& browser : browsers()->browsers()) {
        while (!browser->profiles().empty())
            browser->removeProfile(browser->profiles().front().get());
    }

    optimizeButton->setEnabled(false);
    refreshAction->setEnabled(false);
    loading = true;
    profilesLoader->start(browsers(), appSettings());
}

void MainWindow::slotAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::slotCommandLineHelp()
{
    CommandLineDialog dialog(this);
    dialog.exec();
}

void MainWindow::slotCheckUpdates()
{
    QUpdateChecker* checker = updateChecker();
    if (!checker)
        return;
    // The user's check shows its dialog and messages by itself; the
    // schedule's checks stay silent.
    checker->checkForUpdate(true, 0);
}

void MainWindow::slotNewVersionAvailable()
{
    if (!updateChecker())
        return;
    updateLabel->setText(QStringLiteral("<a href=\"update\">A new version is available</a>"));
    updateLabel->show();
    connect(updateLabel, &QLabel::linkActivated, this, &MainWindow::slotCheckUpdates, Qt::UniqueConnection);
}

void MainWindow::setupUpdateChecker()
{
    QUpdateChecker* checker = QuorbilanApp::instance()->createUpdateChecker(
        this, updateFeedUrl(), productName, QStringLiteral(QUORBILAN_VERSION_TEXT), windowIcon(), windowIcon());
    if (!checker)
        return;
    connect(checker, &QUpdateChecker::updateAvailable, this, &MainWindow::slotNewVersionAvailable);
    // A skipped version is no longer announced; the next one shows the link again.
    connect(checker, &QUpdateChecker::versionSkipped, updateLabel, &QLabel::hide);
    // The user's check is under way: the menu says so instead of starting it again.
    connect(checker, &QUpdateChecker::manualCheckRunning, checkForUpdatesAction, &QAction::setDisabled);
    // Checks of the schedule are silent: only the link tells of a new version.
    checker->setSilent(true);
    checker->setSilentMessages(true);
    checker->initialDelaySec = 1;
    // "Remind Me Later" waits a day also when automatic checks are off.
    checker->setIntervalHours(updateIntervalHours);
    if (appSettings()->valueInt(SettingUpdateCheckerAuto) == 1)
        checker->checkForUpdate(false, updateIntervalHours);
}

QUpdateChecker* MainWindow::updateChecker() const
{
    return QuorbilanApp::instance()->updateChecker;
}

void MainWindow::onClose()
{
    if (optimizer) {
        optimizer->requestStop();
        optimizer->waitForFinished();
    }
    // The loader's job still changes the list; saving now would write a
    // half-loaded list over the stored ticks and custom profiles.
    if (profilesLoader)
        profilesLoader->waitForFinished();
    profilesTree->storeCheckStates();
    browsers()->saveSettings(appSettings());
    saveWindowState(this, appSettings());
}
