#include "ConsoleRun.h"

#include "TestWorld.h"

#include <QDir>
#include <QProcess>

QString programPath()
{
    return QStringLiteral(QUORBILAN_EXE);
}

QProcessEnvironment consoleEnvironment(const QString& root)
{
    // Run as from a terminal without a display.
    QProcessEnvironment env = worldEnvironment(root);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

ConsoleRun runProgram(const QStringList& arguments, const QProcessEnvironment& environment,
                      const QString& workingDirectory)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(programPath(), arguments);
    ConsoleRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
