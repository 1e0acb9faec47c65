#include "FakeProgram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace TestSupport {

FakeProgram::FakeProgram(const QString &folder, const QString &name)
{
    QDir().mkpath(folder);
    const QString copy = folder + QLatin1Char('/') + name;
    if (!QFileInfo::exists(copy)) {
        QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), copy);
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
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
