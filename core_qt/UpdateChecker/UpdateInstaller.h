#pragma once

#include <QString>

#include <memory>

namespace spdlog {
class logger;
}

// The downloaded installer, started detached when the application ends if the
// user armed it.
class UpdateInstaller
{
public:
    virtual ~UpdateInstaller() = default;

    // Kept for platforms whose installers come packed: the interface is fixed
    // this way, but this program's installers are run as downloaded, so
    // nothing calls it and the base answers an empty path.
    virtual QString unpack(const QString& path);
    virtual bool install() = 0;
    virtual bool needsUnpack();
    // Part of the fixed interface as well: answers false and nothing calls it.
    virtual bool reservedQuery();

    void setUpdateFile(const QString& path) { updateFile = path; }
    void setLogger(std::shared_ptr<spdlog::logger> logger);

    // The install button: with a file recorded, arms the installer and asks the
    // application to quit; without one does nothing. True when armed.
    bool armAndQuit();
    // Teardown: starts an armed installer; true when it was started.
    bool runIfArmed(bool tmpInstallVersion);

    std::shared_ptr<spdlog::logger> logger;
    QString updateFile;
    bool installPending = false;
    bool tmpInstall = false;
};

// The platform's installer.
UpdateInstaller* createUpdateInstaller();

// The process-wide installer, made before main and never deleted.
extern UpdateInstaller* updateInstaller;
