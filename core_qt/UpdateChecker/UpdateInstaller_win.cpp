#include "UpdateInstaller.h"

#include <QProcess>

namespace {

// Starts the downloaded installer as it is: no unpacking, no switches.
class UpdateInstallerWindows : public UpdateInstaller
{
public:
    bool install() override
    {
        QProcess::startDetached(updateFile, {}, {});
        return true;
    }
};

} // namespace

UpdateInstaller* createUpdateInstaller()
{
    return new UpdateInstallerWindows;
}
