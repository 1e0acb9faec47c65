#include "WineProgram.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

QString fromEnvironment(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

bool runQuietly(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

WinePrefix::WinePrefix()
{
    const QString templatePrefix = fromEnvironment("QUORBILAN_WINE_TEMPLATE_PREFIX");
    if (!m_dir.isValid() || templatePrefix.isEmpty() || !QFileInfo(templatePrefix).isDir()) {
        m_error = QStringLiteral("no prepared Wine prefix (QUORBILAN_WINE_TEMPLATE_PREFIX=%1)").arg(templatePrefix);
        return;
    }
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("WINEPREFIX"), path());
    if (!runQuietly(QStringLiteral("cp"), {QStringLiteral("-a"), templatePrefix, path()}, m_environment)) {
        m_error = QStringLiteral("cannot copy the prepared Wine prefix");
        return;
    }
    // Persistent until killed: every run in this prefix shares one server.
    if (!runQuietly(QStringLiteral("wineserver"), {QStringLiteral("-p")}, m_environment)) {
        m_error = QStringLiteral("cannot start the prefix's wineserver");
        return;
    }
    m_valid = true;
}

WinePrefix::~WinePrefix()
{
    if (m_valid) {
        runQuietly(QStringLiteral("wineserver"), {QStringLiteral("-k")}, m_environment);
        runQuietly(QStringLiteral("wineserver"), {QStringLiteral("-w")}, m_environment);
    }
}

QString WinePrefix::deployDir()
{
    return fromEnvironment("QUORBILAN_WINDOWS_DEPLOY");
}

QString WinePrefix::programPath()
{
    return deployDir() + QStringLiteral("/quorbilan.exe");
}

QString WinePrefix::windowsBuildDir()
{
    return fromEnvironment("QUORBILAN_WINDOWS_BUILD");
}

QString WinePrefix::windowsQtDir()
{
    return fromEnvironment("QUORBILAN_WINDOWS_QT");
}

QString WinePrefix::userProfile() const
{
    // Wine names the prefix's user after the Unix user.
    const QDir users(path() + QStringLiteral("/drive_c/users"));
    for (const QString& name : users.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name.compare(QStringLiteral("Public"), Qt::CaseInsensitive) != 0)
            return users.filePath(name);
    }
    return {};
}

QString WinePrefix::appData() const
{
    return userProfile() + QStringLiteral("/AppData/Roaming");
}

QString WinePrefix::localAppData() const
{
    return userProfile() + QStringLiteral("/AppData/Local");
}

QString WinePrefix::windowsPath(const QString& linuxPath)
{
    QString path = QFileInfo(linuxPath).absoluteFilePath();
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QStringLiteral("Z:") + path;
}

QString WinePrefix::driveCName(const QString& linuxPath) const
{
    const QString driveC = path() + QStringLiteral("/drive_c/");
    QString relative = linuxPath.mid(driveC.size());
    return QStringLiteral("C:\\") + relative.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

WineRun WinePrefix::run(const QString& program, const QStringList& arguments, const QString& workingDir,
                        int timeoutMs) const
{
    WineRun result;
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral("wine"), QStringList{program} + arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    } else {
        result.finished = process.exitStatus() == QProcess::NormalExit;
        result.exitCode = process.exitCode();
    }
    result.standardOutput = process.readAllStandardOutput();
    // Wine's own report of a thread whose line to the wineserver broke, seen
    // once under heavy load on a run that otherwise ended right: Wine's, not
    // the program's, whose exit code and output still tell how it ended.
    result.standardError = process.readAllStandardError();
    const QByteArray wineClientError = "wine client error:";
    for (qsizetype at; (at = result.standardError.indexOf(wineClientError)) >= 0;) {
        const qsizetype lineEnd = result.standardError.indexOf('\n', at);
        result.standardError.remove(at, lineEnd < 0 ? result.standardError.size() - at : lineEnd + 1 - at);
    }
    return result;
}
