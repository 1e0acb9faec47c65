#include "FakeProgram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace TestSupport {

FakeProgram::FakeProgram(const QString& folder, const QString& name)
{
    QDir().mkpath(folder);
    const QString copy = folder + QLatin1Char('/') + name;
    if (!QFileInfo::exists(copy)) {
        QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), copy);
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // It dies with the test: a test killed by its watchdog must not leave a
    // process named like a browser behind, which every later main-window run
    // on this machine would be asked to close.
    const pid_t test = getpid();
    m_process.setChildProcessModifier([test] {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != test)
            _exit(1);
    });
    m_process.start(copy, {QStringLiteral("600")});
    m_process.waitForStarted();
}

FakeProgram::~FakeProgram()
{
    stop();
}

void FakeProgram::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}

} // namespace TestSupport
