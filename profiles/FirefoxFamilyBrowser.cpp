#include "FirefoxFamilyBrowser.h"

#include "IniFile.h"
#include "PathHelpers.h"
#include "ProgramLocation.h"

#include <QFileInfo>

namespace {

// profiles.ini is a Windows file; its paths may use either separator.
QString withForwardSlashes(QString path)
{
    return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

} // namespace

FirefoxFamilyBrowser::FirefoxFamilyBrowser(FirefoxBrowserInfo row)
    : TableBrowser(std::move(row))
{
}

QString FirefoxFamilyBrowser::familyName() const
{
    return QStringLiteral("Mozilla");
}

bool FirefoxFamilyBrowser::isProfileFolder(const QString& folder) const
{
    return fileExistsIn(folder, QStringLiteral("bookmarkbackups"))
        || fileExistsIn(folder, QStringLiteral("places.sqlite")) || fileExistsIn(folder, QStringLiteral("prefs.js"));
}

void FirefoxFamilyBrowser::loadProfiles()
{
    const QString dataDir = joinPath(appDataDir(), info.dataPath);
    if (dataDir.isEmpty())
        return;
    const QString iniPath = dataDir + QStringLiteral("/profiles.ini");
    if (!QFileInfo::exists(iniPath))
        return;

    const auto groups = readIniFile(iniPath);
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        if (!it.key().startsWith(QLatin1String("Profile"), Qt::CaseInsensitive))
            continue;
        const QHash<QString, QString>& values = it.value();
        const QString path = values.value(QStringLiteral("Path"));
        if (path.isEmpty())
            continue;
        const int isRelative = values.contains(QStringLiteral("IsRelative"))
            ? values.value(QStringLiteral("IsRelative")).toInt() // not a number: 0
            : 1;
        const QString folder
            = isRelative != 0 ? dataDir + QLatin1Char('/') + withForwardSlashes(path) : withForwardSlashes(path);
        if (!QFileInfo(folder).isDir())
            continue;
        QString name = values.value(QStringLiteral("Name"));
        if (name.isEmpty())
            name = QFileInfo(normalizePath(folder)).fileName();
        addProfile(name, folder);
    }
}
