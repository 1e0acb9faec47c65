#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs the built program as a user would from a shell, in a private world:
// HOME, XDG_CONFIG_HOME, APPDATA and LOCALAPPDATA below `root`, LANG=C.UTF-8,
// and no display at all.
struct ConsoleRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
};

QProcessEnvironment consoleEnvironment(const QString& root);
ConsoleRun runProgram(const QStringList& arguments, const QProcessEnvironment& environment,
                      const QString& workingDirectory = QString());
QString programPath();
