#include "RunningPrograms.h"

#include "ProcessHelpers.h"

#include <QFileInfo>

QStringList runningProcessNames()
{
    QStringList names;
    for (const ProcessHelpers::Process& process : ProcessHelpers::runningProcesses()) {
        if (!process.imagePath.empty())
            names.append(QString::fromStdWString(process.imagePath));
    }
    return names;
}

QStringList runningPrograms(const std::vector<ProgramProcessNames>& programs)
{
    QStringList result;
    if (programs.empty())
        return result;
    for (const ProcessHelpers::Process& process : ProcessHelpers::runningProcesses()) {
        if (process.imagePath.empty())
            continue;
        // Windows paths may reach us with backslashes; either way only the
        // file name counts ("Plex Media Server.exe" -> "Plex Media Server").
        QString path = QString::fromStdWString(process.imagePath);
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString baseName = QFileInfo(path).completeBaseName();
        if (baseName.isEmpty())
            continue;
        for (const ProgramProcessNames& program : programs) {
            // Profiles are per user: another user's copy of the program
            // holds none of this user's files. Asked last, as it costs a read.
            if (!result.contains(program.first) && program.second.contains(baseName, Qt::CaseInsensitive)
                && ProcessHelpers::runsAsCurrentUser(process.processId))
                result.append(program.first);
        }
    }
    return result;
}
