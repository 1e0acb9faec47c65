#pragma once

#include <QProcess>
#include <QString>

namespace TestSupport {

// A real process that looks like a supported program to the running-program
// check: a copy of the sleep program under the program's process name. It
// runs until stop() or until the object goes.
class FakeProgram
{
public:
    // The copy is made as `folder`/`name` (the folder is created; an existing
    // copy is reused, so several processes can share one name).
    FakeProgram(const QString& folder, const QString& name);
    ~FakeProgram();

    FakeProgram(const FakeProgram&) = delete;
    FakeProgram& operator=(const FakeProgram&) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString errorString() const { return m_process.errorString(); }
    void stop();

private:
    QProcess m_process;
};

} // namespace TestSupport
