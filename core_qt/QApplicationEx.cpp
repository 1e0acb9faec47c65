#include "QApplicationEx.h"

#include "AppSettings.h"
#include "LanguageTable.h"
#include "ProcessHelpers.h"

#include <QThread>

QApplicationEx::QApplicationEx(int& argc, char** argv, const QString& applicationName)
    : QApplication(argc, argv)
{
    QCoreApplication::setApplicationName(applicationName);

    // On Linux the native name is skipped for the main thread: it would rename
    // the whole process as ps shows it.
    QThread::currentThread()->setObjectName(QStringLiteral("mainThread"));
    ProcessHelpers::setCurrentThreadDescription(L"mainThread");

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
