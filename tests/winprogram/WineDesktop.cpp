#include "WineDesktop.h"

#include "ProductIdentity.h"
#include "XdoTool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QTcpServer>

namespace WineDesktop {

bool makeProgramFolder(const QString& folder, const QString& exe)
{
    const QDir deploy(WinePrefix::deployDir());
    if (!QDir().mkpath(folder) || !deploy.exists())
        return false;
    for (const QFileInfo& entry : deploy.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (entry.fileName().compare(QStringLiteral("quorbilan.exe"), Qt::CaseInsensitive) == 0)
            continue;
        if (!QFile::link(entry.absoluteFilePath(), folder + QLatin1Char('/') + entry.fileName()))
            return false;
    }
    return QFile::copy(exe, folder + QStringLiteral("/quorbilan.exe"));
}

namespace {

QString settingsKey()
{
    return QStringLiteral("HKCU\\Software\\%1\\%2")
        .arg(QStringLiteral(QUORBILAN_ORGANIZATION), QStringLiteral(QUORBILAN_PRODUCT_NAME));
}

} // namespace

QString setting(const WinePrefix& prefix, const QString& name)
{
    const WineRun run
        = prefix.run(QStringLiteral("reg"), {QStringLiteral("query"), settingsKey(), QStringLiteral("/v"), name});
    if (!run.finished || run.exitCode != 0)
        return {};
    // "    NAME    REG_TYPE    DATA"
    for (const QString& line : QString::fromLocal8Bit(run.standardOutput).split(QLatin1Char('\n'))) {
        const QStringList fields = line.trimmed().split(QRegularExpression(QStringLiteral("\\s{2,}|\\t")));
        if (fields.size() >= 2 && fields.first() == name)
            return fields.size() >= 3 ? fields.at(2).trimmed() : QString();
    }
    return {};
}

bool removeSetting(const WinePrefix& prefix, const QString& name)
{
    const WineRun run
        = prefix.run(QStringLiteral("reg"),
                     {QStringLiteral("delete"), settingsKey(), QStringLiteral("/v"), name, QStringLiteral("/f")});
    return run.finished;
}

bool setSetting(const WinePrefix& prefix, const QString& name, const QString& type, const QString& data)
{
    return setRegistryValue(prefix, settingsKey(), name, type, data);
}

bool setRegistryValue(const WinePrefix& prefix, const QString& key, const QString& name, const QString& type,
                      const QString& data)
{
    const WineRun run = prefix.run(QStringLiteral("reg"),
                                   {QStringLiteral("add"), key, QStringLiteral("/v"), name, QStringLiteral("/t"), type,
                                    QStringLiteral("/d"), data, QStringLiteral("/f")});
    return run.finished && run.exitCode == 0;
}

QString mainWindowTitle()
{
    return QStringLiteral(QUORBILAN_PRODUCT_NAME " " QUORBILAN_VERSION_TEXT);
}

QString refusedFeedUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("https://127.0.0.1:%1/update/quorbilan.xml.gz").arg(port);
}

void start(QProcess& process, const WinePrefix& prefix, const QString& program, const QString& workingDir,
           const QStringList& extra)
{
    QProcessEnvironment environment = prefix.environment();
    for (const QString& assignment : extra) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        environment.insert(assignment.left(equals), assignment.mid(equals + 1));
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDir);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("wine"), {program});
}

QStringList windows(const QString& title)
{
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                    QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QImage windowImage(const QString& window)
{
    bool isNumber = false;
    const WId id = window.toULongLong(&isNumber);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!isNumber || !screen)
        return {};
    return screen->grabWindow(id).toImage();
}

void keys(const QString& window, const QStringList& keyNames)
{
    xdotool(QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"), window, QStringLiteral("key"),
                        QStringLiteral("--delay"), QStringLiteral("100")}
            + keyNames);
}

QSize size(const QString& window)
{
    // "WIDTH=391" and "HEIGHT=130" among the lines of the shell form.
    const QString shape = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    const QRegularExpression width(QStringLiteral("^WIDTH=(\\d+)$"), QRegularExpression::MultilineOption);
    const QRegularExpression height(QStringLiteral("^HEIGHT=(\\d+)$"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch w = width.match(shape);
    const QRegularExpressionMatch h = height.match(shape);
    if (!w.hasMatch() || !h.hasMatch())
        return {};
    return {w.captured(1).toInt(), h.captured(1).toInt()};
}

void click(const QString& window, const QPoint& point)
{
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(point.x()),
             QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")});
}

} // namespace WineDesktop
