#include "UpdateInstaller.h"

#include "UpdateLog.h"

#include <QCoreApplication>

UpdateInstaller* updateInstaller = createUpdateInstaller();

QString UpdateInstaller::unpack(const QString&)
{
    return {};
}

bool UpdateInstaller::needsUnpack()
{
    return false;
}

bool UpdateInstaller::reservedQuery()
{
    return false;
}

void UpdateInstaller::setLogger(std::shared_ptr<spdlog::logger> newLogger)
{
    if (!newLogger) {
        UPDATE_WARN_NULL_LOGGER();
        return;
    }
    logger = std::move(newLogger);
}

bool UpdateInstaller::armAndQuit()
{
    if (updateFile.isEmpty())
        return false;
    installPending = true;
    QCoreApplication::quit();
    return true;
}

bool UpdateInstaller::runIfArmed(bool tmpInstallVersion)
{
    if (!installPending)
        return false;
    if (tmpInstallVersion)
        tmpInstall = true;
    return install();
}
