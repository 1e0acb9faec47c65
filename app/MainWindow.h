#pragma once

#include "QMainWindowEx.h"

#include <memory>
#include <vector>

class AppSettings;
class BrowserProfile;
class BrowsersList;
class LogView;
class Optimizer;
class ProfilesLoader;
class ProfilesTree;
class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QUpdateChecker;

// The program's window: the profiles tree, the log of a run with its
// progress bar, and the File and Help menus. The programs list is left alone
// while the loader or the optimizer works on it.
class MainWindow : public QMainWindowEx
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    // Waits for a running optimization and a running profile search.
    ~MainWindow() override;

private slots:
    void slotPopulateFinished();
    void slotOptimize();
    void slotOptimizerFinished(bool cancelled, bool fatalError);
    void slotCheckedCountChanged(int count);
    void slotCustomProfileDropped(QString folder);
    void slotAddCustomProfile();
    void slotRemoveCustomProfile(BrowserProfile* profile);
    void slotRefresh();
    void slotAbout();
    void slotCommandLineHelp();
    void slotCheckUpdates();
    void slotNewVersionAvailable();

private:
    void setupUi();
    void setupMenus();
    void showProfilesPage();
    // True when no program of these profiles runs (after the user's retries).
    bool confirmNotRunning(const std::vector<BrowserProfile*>& profiles);
    void setupUpdateChecker();
    void onClose() override;

    AppSettings* appSettings();
    BrowsersList* browsers() const;
    // The application's checker; null when it made none.
    QUpdateChecker* updateChecker() const;
    // The programs list is in use by the loader or the optimizer.
    bool busy() const;

    AppSettings* settings = nullptr;
    QWidget* central = nullptr;
    QLabel* infoLabel = nullptr;
    QStackedWidget* pages = nullptr;
    ProfilesTree* profilesTree = nullptr;
    LogView* logView = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* updateLabel = nullptr;
    QPushButton* commandLineButton = nullptr;
    QPushButton* aboutButton = nullptr;
    QPushButton* optimizeButton = nullptr;
    QPushButton* exitButton = nullptr;
    QAction* exitAction = nullptr;
    QAction* addCustomProfileAction = nullptr;
    QAction* refreshAction = nullptr;
    QAction* checkForUpdatesAction = nullptr;
    QAction* homePageAction = nullptr;
    QAction* aboutAction = nullptr;
    std::unique_ptr<Optimizer> optimizer;
    std::unique_ptr<ProfilesLoader> profilesLoader;
    bool optimizedOnce = false;
    // From the start of a run until its finished() arrives here. The
    // optimizer's own flag turns false before that, and a click in between
    // must still mean Stop.
    bool optimizing = false;
};
