#include "UpdateInstaller.h"

#include <QFile>
#include <QProcess>

namespace {

// A download is saved without the execute bit: give it to the owner, then
// start the file as it is, detached, without arguments.
class UpdateInstallerLinux : public UpdateInstaller
{
public:
    bool install() override
    {
        QFile file(updateFile);
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        QProcess::startDetached(updateFile, {}, {});
        return true;
    }
};

} // namespace

UpdateInstaller* createUpdateInstaller()
{
    return new UpdateInstallerLinux;
}
