#include "QApplicationEx.h"

#include "AppSettings.h"
#include "DarkModePlatform.h"
#include "LanguageTable.h"
#include "QSystemNotification.h"
#include "crashreport/CrashHandler.h"

#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>
#include <QWidget>

#ifdef _WIN32
#include "FileVersionInfo.h"
#include "ProcessHelpers.h"
#include <windows.h>
#endif

// The four numbers of the program's own file version.
struct QApplicationEx::VersionNumbers
{
    quint32 versionMajor = 0;
    quint32 versionMinor = 0;
    quint32 versionBuild = 0;
    quint32 revision = 0;
};

#ifdef _WIN32
QApplicationEx::VersionNumbers QApplicationEx::readOwnVersion()
{
    FileVersionInfo info;
    const std::wstring file = ProcessHelpers::moduleFileName(ProcessHelpers::currentModule());
    readFileVersionInfo(file.c_str(), info);
    return {info.major(), info.minor(), info.build(), info.revision()};
}
#else
// Linux executables carry no version resource: the numbers are compiled in
// from the project version.
QApplicationEx::VersionNumbers QApplicationEx::readOwnVersion()
{
    return {QUORBILAN_VERSION_MAJOR, QUORBILAN_VERSION_MINOR, QUORBILAN_VERSION_PATCH,
            QUORBILAN_VERSION_BUILD};
}
#endif

QApplicationEx::QApplicationEx(int& argc, char** argv, const QString& applicationName)
    : QApplication(argc, argv)
{
    QCoreApplication::setApplicationName(applicationName);

    // Only the thread object is named: on Linux naming the main thread
    // natively would rename the whole process as ps shows it.
    QThread::currentThread()->setObjectName(QStringLiteral("mainThread"));
#ifdef _WIN32
    ProcessHelpers::setCurrentThreadDescription(L"mainThread");
#endif

    initVersionInfo();

    // The update service registers its image bundle under ":/UpdateChecker/" here.
}

QApplicationEx::~QApplicationEx()
{
    releaseVersionInfo();
    // The update service stops its checker and starts an armed installer here.
    delete languageTable;
    languageTable = nullptr;
    delete settings;
    settings = nullptr;
}

void QApplicationEx::initVersionInfo()
{
    versionInfo = new VersionNumbers(readOwnVersion());
    QCoreApplication::setApplicationVersion(QString("%2.%3.%4")
                                                .arg(versionInfo->versionMajor)
                                                .arg(versionInfo->versionMinor)
                                                .arg(versionInfo->versionBuild));
}

void QApplicationEx::releaseVersionInfo()
{
    delete versionInfo;
    versionInfo = nullptr;
}

void QApplicationEx::initSettings(const QString& applicationName, const QString& organizationName)
{
    AppSettings* old = settings;
    settings = new AppSettings(applicationName, organizationName);
    if (old != settings)
        delete old;
}

void QApplicationEx::initLanguage(const QString& builtinResource)
{
    LanguageTable* old = languageTable;
    languageTable = new LanguageTable(builtinResource);
    if (old != languageTable)
        delete old;
}

quint32 QApplicationEx::buildNumber() const
{
    return versionInfo ? versionInfo->revision : 0;
}

void QApplicationEx::forceForegroundWindow(QWidget* widget)
{
    if (!widget)
        return;
    QWidget* window = widget->window();
#ifdef _WIN32
    // Windows refuses the foreground to a background process unless its input
    // is attached to the thread that owns the current foreground window.
    const HWND hwnd = reinterpret_cast<HWND>(window->winId());
    if (IsIconic(hwnd))
        ShowWindow(hwnd, SW_RESTORE);
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD currentThread = GetCurrentThreadId();
    AttachThreadInput(currentThread, foregroundThread, TRUE);
    SetForegroundWindow(hwnd);
    BringWindowToTop(hwnd);
    SetFocus(hwnd);
    AttachThreadInput(currentThread, foregroundThread, FALSE);
#else
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
#endif
}

void QApplicationEx::setupCrashHandler(const QString& supportEmail, int iconId)
{
    CrashHandler::setIconId(iconId);
    CrashHandler::setAppName(QCoreApplication::applicationName().toStdWString().c_str());
    const QString version = QStringLiteral("%1.%2").arg(QCoreApplication::applicationVersion()).arg(buildNumber());
    CrashHandler::setAppVersion(version.toStdWString().c_str());
    CrashHandler::setSupportEmail(supportEmail.toStdWString().c_str());
    CrashHandler::install();
}

namespace {

const char darkModeSupportProperty[] = "DarkModeSupport";
const char darkModeWatchProperty[] = "DarkModeWatchChanges";

QPalette darkPalette()
{
    const QColor grey(45, 45, 45);
    const QColor disabled(127, 127, 127);
    const QColor blue(42, 130, 218);
    QPalette palette;
    palette.setColor(QPalette::Window, grey);
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(18, 18, 18));
    palette.setColor(QPalette::AlternateBase, grey);
    palette.setColor(QPalette::ToolTipBase, Qt::white);
    palette.setColor(QPalette::ToolTipText, Qt::white);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
    palette.setColor(QPalette::Button, grey);
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, blue);
    palette.setColor(QPalette::Highlight, blue);
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, disabled);
    return palette;
}

} // namespace

void QApplicationEx::enableDarkMode(bool watch)
{
    setProperty(darkModeSupportProperty, 1);
    applyDarkMode(this, systemUsesDarkMode());
    if (!watch)
        return;
    setProperty(darkModeWatchProperty, 1);
    auto* notification = new QSystemNotification(this);
    // Connecting starts the notification's watcher.
    connect(
        notification, &QSystemNotification::darkModeChanged, notification,
        [this] { applyDarkMode(this, systemUsesDarkMode()); }, Qt::DirectConnection);
}

bool QApplicationEx::isDarkModeSupport()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->property(darkModeSupportProperty).isValid();
}

bool QApplicationEx::isDarkModeWatchChanges()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->property(darkModeWatchProperty).isValid();
}

void QApplicationEx::applyDarkMode(QApplication* app, bool dark)
{
    if (!app || !DarkModePlatform::supported())
        return;
    // The look set up before dark mode was first applied, also when the
    // system is dark at start.
    static const QPalette lightPalette = QGuiApplication::palette();
    static const QString lightStyleSheet = app->styleSheet();
    static const QString lightStyle = app->style() ? app->style()->name() : QString();

    DarkModePlatform::allowDarkModeForApp(dark);
    if (dark) {
        app->setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
        app->setStyleSheet(
            QStringLiteral("QToolTip { color: #ffffff; background-color: #2a82da; border: 1px solid white; }"));
    } else {
        if (QStyle* style = DarkModePlatform::createLightStyle(lightStyle))
            app->setStyle(style);
        QApplication::setPalette(lightPalette);
        app->setStyleSheet(lightStyleSheet);
    }
}
