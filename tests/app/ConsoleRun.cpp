#include "ConsoleRun.h"

#include <QDir>
#include <QProcess>

QString programPath()
{
    return QStringLiteral(QUORBILAN_EXE);
}

QProcessEnvironment consoleEnvironment(const QString &root)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(QString::fromLatin1(name));
    const QString home = root + QStringLiteral("/home");
    QDir().mkpath(home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), home + QStringLiteral("/system-share"));
    env.insert(QStringLiteral("APPDATA"), root + QStringLiteral("/Roaming"));
    env.insert(QStringLiteral("LOCALAPPDATA"), root + QStringLiteral("/Local"));
    // The single-instance socket lives in the temporary folder: keep it private.
    QDir().mkpath(root + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("TMPDIR"), root + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

ConsoleRun runProgram(const QStringList &arguments, const QProcessEnvironment &environment,
                      const QString &workingDirectory)
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
