#include "QApplicationEx.h"

#include "AppSettings.h"
#include "LanguageTable.h"

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
    if (updateChecker && releaseUpdateChecker)
        releaseUpdateChecker(updateChecker);
    updateChecker = nullptr;
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
