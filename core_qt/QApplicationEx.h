#pragma once

#include <QApplication>
#include <QString>

class AppSettings;
class LanguageTable;
class QIcon;
class QUpdateChecker;
class QWidget;

// The framework's application: names the main thread, takes its version from
// the executable and owns the process-wide services every window reaches
// through the application instance. Each service pointer may be null until
// its init call has run.
class QApplicationEx : public QApplication
{
    Q_OBJECT

public:
    QApplicationEx(int& argc, char** argv, const QString& applicationName);
    ~QApplicationEx() override;

    void initSettings(const QString& applicationName, const QString& organizationName);
    void initLanguage(const QString& builtinResource);

    // Fourth number of the executable's file version.
    quint32 buildNumber() const;

    // Installs the crash reporter for the rest of the process: a crash writes a
    // dump into the current folder and offers to mail it to supportEmail. The
    // report box shows the icon resource iconId. For GUI runs only.
    void setupCrashHandler(const QString& supportEmail, int iconId);

    // Brings the widget's top-level window in front of all others; a null
    // widget does nothing.
    static void forceForegroundWindow(QWidget* widget);

    // The update checker, made on the main window's request; replaces an
    // older one. Defined by the update service's library, so only programs
    // that link it can call it.
    QUpdateChecker* createUpdateChecker(QWidget* mainWindow, const QString& feedUrl, const QString& appName,
                                        const QString& version, const QIcon& customIcon, const QIcon& appIcon);

    // Turns dark-mode support on: applies the system's current light/dark
    // setting and, with `watch`, follows its changes (windows too).
    void enableDarkMode(bool watch);
    // Whether dark-mode support is on for this process.
    static bool isDarkModeSupport();
    // Whether windows follow changes of the setting.
    static bool isDarkModeWatchChanges();
    // Dark: the "Fusion" style, a dark palette and a tool-tip style sheet.
    // Light: the look that was in effect before the first switch. Either way
    // the links of rich-text labels take the new palette's colour. Does
    // nothing where dark mode does not exist.
    static void applyDarkMode(QApplication* app, bool dark);

    // Owned; null until made.
    AppSettings* settings = nullptr;
    LanguageTable* languageTable = nullptr;
    QUpdateChecker* updateChecker = nullptr;
    // What the event loop returned, for a teardown that has to end the
    // process itself (see releaseUpdateChecker).
    int exitCode = 0;

private:
    // The four numbers of the program's own file version.
    struct VersionNumbers
    {
        quint32 versionMajor = 0;
        quint32 versionMinor = 0;
        quint32 versionBuild = 0;
        quint32 revision = 0;
    };

    // From the executable (QApplicationEx_linux.cpp, QApplicationEx_win.cpp).
    static VersionNumbers readOwnVersion();
    void initVersionInfo();
    void releaseVersionInfo();

    VersionNumbers* versionInfo = nullptr;
    // Stops the checker, starts an armed installer and deletes the checker;
    // ends the process with `exitCode` when a check it abandoned is still
    // running. Set by createUpdateChecker: the framework itself does not link
    // the update service.
    void (*releaseUpdateChecker)(QUpdateChecker* checker, int exitCode) = nullptr;
};
