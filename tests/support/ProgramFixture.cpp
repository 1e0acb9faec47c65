#include "ProgramFixture.h"

#include "SqliteFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace TestSupport {

namespace {

struct ProgramRow
{
    const char* program;
    const char* dataPath;
};

// The Firefox family below APPDATA, in program order.
const ProgramRow firefoxRows[] = {
    {"Firefox", "Mozilla/Firefox"},
    {"Waterfox", "Waterfox"},
    {"SeaMonkey", "Mozilla/SeaMonkey"},
    {"Zen", "zen"},
    {"LibreWolf", "librewolf"},
    {"Floorp", "Floorp"},
    {"Pale Moon", "Moonchild Productions/Pale Moon"},
    {"Basilisk", "Moonchild Productions/Basilisk"},
    {"Thunderbird", "Thunderbird"},
    {"Betterbird", "Betterbird"},
};

// The Chromium family below LOCALAPPDATA, in program order; Opera comes after.
const ProgramRow chromiumRows[] = {
    {"Chrome", "Google/Chrome/User Data"},
    {"Chrome Beta", "Google/Chrome Beta/User Data"},
    {"Chrome Dev", "Google/Chrome Dev/User Data"},
    {"Chrome Canary", "Google/Chrome SxS/User Data"},
    {"Edge", "Microsoft/Edge/User Data"},
    {"Edge Beta", "Microsoft/Edge Beta/User Data"},
    {"Edge Dev", "Microsoft/Edge Dev/User Data"},
    {"Edge Canary", "Microsoft/Edge SxS/User Data"},
    {"Brave", "BraveSoftware/Brave-Browser/User Data"},
    {"Brave Beta", "BraveSoftware/Brave-Browser-Beta/User Data"},
    {"Brave Nightly", "BraveSoftware/Brave-Browser-Nightly/User Data"},
    {"Vivaldi", "Vivaldi/User Data"},
    {"Vivaldi Snapshot", "Vivaldi Snapshot/User Data"},
    {"Chromium", "Chromium/User Data"},
};

const ProgramRow operaRows[] = {
    {"Opera", "Opera Software/Opera Stable"},
    {"Opera GX", "Opera Software/Opera GX Stable"},
    {"Opera Air", "Opera Software/Opera Air Stable"},
};

QString profilesIniGroup(int index, const QString& name, const QString& path)
{
    return QStringLiteral("[Profile%1]\nName=%2\nIsRelative=1\nPath=%3\n\n").arg(index).arg(name, path);
}

} // namespace

ProgramFixture::ProgramFixture(const QString& root)
    : m_root(QDir::fromNativeSeparators(root))
{
}

ProgramFixture::ProgramFixture()
    : m_ownFolder(std::make_unique<QTemporaryDir>())
    , m_root(m_ownFolder->path())
{
    setEnvironment();
}

QString ProgramFixture::localAppData() const
{
    return m_root + QStringLiteral("/Local");
}

QString ProgramFixture::appData() const
{
    return m_root + QStringLiteral("/Roaming");
}

void ProgramFixture::setEnvironment() const
{
    QDir().mkpath(localAppData());
    QDir().mkpath(appData());
    qputenv("LOCALAPPDATA", localAppData().toUtf8());
    qputenv("APPDATA", appData().toUtf8());
}

QString ProgramFixture::local(const QString& relative) const
{
    return localAppData() + QLatin1Char('/') + relative;
}

QString ProgramFixture::roaming(const QString& relative) const
{
    return appData() + QLatin1Char('/') + relative;
}

void ProgramFixture::expect(const QString& program, const QString& name, const QString& path, const QString& title)
{
    m_expected.append({program, name, title, path});
}

bool ProgramFixture::makeDatabase(const QString& path)
{
    // One bloated database made once and copied: building hundreds of files
    // stays fast.
    if (m_template.isEmpty()) {
        const QString templatePath = m_root + QStringLiteral("/template.sqlite");
        if (!QDir().mkpath(m_root) || !createBloatedDatabase(templatePath, 40, 256, 8))
            return false;
        m_template = templatePath;
    }
    return QDir().mkpath(QFileInfo(path).absolutePath()) && QFile::copy(m_template, path);
}

bool ProgramFixture::makeTextFile(const QString& path, const QByteArray& content)
{
    return QDir().mkpath(QFileInfo(path).absolutePath()) && writeFile(path, content);
}

bool ProgramFixture::makeChromiumProfile(const QString& folder, int extraDatabases)
{
    bool ok = makeTextFile(folder + QStringLiteral("/Preferences"), R"({"profile":{"exit_type":"Normal"}})");
    for (const char* name : {"History", "Cookies", "Web Data"})
        ok = ok && makeDatabase(folder + QLatin1Char('/') + QLatin1String(name));
    for (int i = 0; ok && i < extraDatabases; ++i)
        ok = makeDatabase(folder + QStringLiteral("/Extra %1").arg(i));
    return ok;
}

bool ProgramFixture::makeFirefoxProfile(const QString& folder, int extraDatabases)
{
    bool ok = makeTextFile(folder + QStringLiteral("/prefs.js"), "user_pref(\"browser.startup.page\", 3);\n")
        && makeDatabase(folder + QStringLiteral("/places.sqlite"))
        && makeDatabase(folder + QStringLiteral("/cookies.sqlite"));
    for (int i = 0; ok && i < extraDatabases; ++i)
        ok = makeDatabase(folder + QStringLiteral("/extra%1.sqlite").arg(i));
    return ok;
}

bool ProgramFixture::writeLocalState(const QString& userDataDir, const QList<QPair<QString, QString>>& profiles)
{
    QJsonObject infoCache;
    for (const auto& profile : profiles)
        infoCache.insert(profile.first, QJsonObject{{QStringLiteral("name"), profile.second}});
    const QJsonObject root{{QStringLiteral("profile"), QJsonObject{{QStringLiteral("info_cache"), infoCache}}}};
    return makeTextFile(userDataDir + QStringLiteral("/Local State"), QJsonDocument(root).toJson());
}

bool ProgramFixture::buildStandardTree()
{
    return buildFirefoxFamily() && buildChromiumFamily() && buildOpera() && buildOthers();
}

// Firefox: odd group order and letter case, an install group, a relative
// folder without IsRelative, an absolute folder written with backslashes
// outside the data folder, a missing folder, an empty path, a second group for
// a known folder and a profile holding none of the family's marker files.
// SeaMonkey writes its relative path with backslashes. The other eight hold
// one plain profile each.
bool ProgramFixture::buildFirefoxFamily()
{
    const QString firefox = roaming(QStringLiteral("Mozilla/Firefox"));
    const QString elsewhere = m_root + QStringLiteral("/Elsewhere/c.work");
    QString absolute = elsewhere;
    absolute.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QString ini
        = QStringLiteral("[General]\nStartWithLastProfile=1\nVersion=2\n\n"
                         "[Install308046B0AF4A39CB]\nDefault=Profiles/b.default-release\nLocked=1\n\n"
                         "[Profile1]\nName=default-release\nPath=Profiles/b.default-release\nDefault=1\n\n"
                         "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/a.default\n\n"
                         "[Profile10]\nName=work\nIsRelative=0\nPath=%1\n\n"
                         "[Profile2]\nName=gone\nIsRelative=1\nPath=Profiles/missing\n\n"
                         "[Profile4]\nName=no path\nIsRelative=1\nPath=\n\n"
                         "[Profile5]\nName=second name\nIsRelative=1\nPath=Profiles/a.default/\n\n"
                         "[profile3]\nName=\nIsRelative=1\nPath=Profiles/d.lower\n")
              .arg(absolute);
    bool ok = makeTextFile(firefox + QStringLiteral("/profiles.ini"), ini.toUtf8())
        && makeFirefoxProfile(firefox + QStringLiteral("/Profiles/a.default"))
        && makeFirefoxProfile(firefox + QStringLiteral("/Profiles/b.default-release")) && makeFirefoxProfile(elsewhere)
        && makeDatabase(firefox + QStringLiteral("/Profiles/d.lower/storage.sqlite"));
    // Not listed in profiles.ini: never found.
    ok = ok && makeFirefoxProfile(firefox + QStringLiteral("/Profiles/z.unlisted"));
    expect("Firefox", "default", firefox + QStringLiteral("/Profiles/a.default"));
    expect("Firefox", "default-release", firefox + QStringLiteral("/Profiles/b.default-release"));
    expect("Firefox", "work", elsewhere);
    expect("Firefox", "d.lower", firefox + QStringLiteral("/Profiles/d.lower"));

    for (const ProgramRow& row : firefoxRows) {
        const QString program = QString::fromLatin1(row.program);
        if (!ok || program == QLatin1String("Firefox"))
            continue;
        const QString dataDir = roaming(QString::fromLatin1(row.dataPath));
        const bool backslashes = program == QLatin1String("SeaMonkey");
        const QString folder = QStringLiteral("%1.default").arg(program.toLower().remove(QLatin1Char(' ')));
        const QString listed = (backslashes ? QStringLiteral("Profiles\\") : QStringLiteral("Profiles/")) + folder;
        ok = makeTextFile(dataDir + QStringLiteral("/profiles.ini"), profilesIniGroup(0, "default", listed).toUtf8())
            && makeFirefoxProfile(dataDir + QStringLiteral("/Profiles/") + folder);
        expect(program, "default", dataDir + QStringLiteral("/Profiles/") + folder);
    }
    return ok;
}

// Chrome: no "Local State"; folders sorted before "Default", a folder failing
// the test, the guest and system folders (any letter case) and a hidden one.
// Chrome Beta: "Local State" with a user name, a name equal to the folder and a
// deleted folder; a folder on disk it does not list. Chrome Dev: keys in odd
// letter case. Chrome Canary: a broken "Local State". Edge: a name that is
// not text. Vivaldi: a profile without "Preferences". The rest: "Default".
bool ProgramFixture::buildChromiumFamily()
{
    bool ok = true;
    for (const ProgramRow& row : chromiumRows) {
        if (!ok)
            break;
        const QString program = QString::fromLatin1(row.program);
        const QString dir = local(QString::fromLatin1(row.dataPath));
        const auto profile
            = [&](const QString& folder) { return makeChromiumProfile(dir + QLatin1Char('/') + folder); };
        const auto found = [&](const QString& folder, const QString& title = QString()) {
            expect(program, folder, dir + QLatin1Char('/') + folder, title);
        };
        if (program == QLatin1String("Chrome")) {
            for (const char* folder :
                 {"A Profile", "Default", "Guest Profile", "Profile 1", "Profile 3", "system profile", ".hidden"})
                ok = ok && profile(QString::fromLatin1(folder));
            ok = ok && makeTextFile(dir + QStringLiteral("/Crashpad/settings.dat"), "crash")
                && makeDatabase(dir + QStringLiteral("/Crashpad/History"));
            for (const char* folder : {"Default", "A Profile", "Profile 1", "Profile 3"})
                found(QString::fromLatin1(folder));
        } else if (program == QLatin1String("Chrome Beta")) {
            ok = profile("Default") && profile("Profile 2") && profile("Profile 9")
                && writeLocalState(dir, {{"Profile 2", "Work"}, {"Default", "Default"}, {"Profile 5", "Gone"}});
            found("Default");
            found("Profile 2", "Profile 2 (Work)");
        } else if (program == QLatin1String("Chrome Dev")) {
            ok = profile("Profile 2") && profile("profile 10") && profile("Default")
                && writeLocalState(dir, {{"profile 10", ""}, {"Profile 2", "Profile 2"}, {"Default", "Jane"}});
            found("Default", "Default (Jane)");
            found("profile 10");
            found("Profile 2");
        } else if (program == QLatin1String("Chrome Canary")) {
            ok = profile("Default") && makeTextFile(dir + QStringLiteral("/Local State"), "{\"profile\": {");
            found("Default");
        } else if (program == QLatin1String("Edge")) {
            ok = profile("Default")
                && makeTextFile(dir + QStringLiteral("/Local State"),
                                R"({"profile":{"info_cache":{"Default":{"name":42}}}})");
            found("Default");
        } else if (program == QLatin1String("Vivaldi")) {
            ok = makeDatabase(dir + QStringLiteral("/Default/History"))
                && makeDatabase(dir + QStringLiteral("/Default/Web Data"));
            found("Default");
        } else if (program == QLatin1String("Brave")) {
            ok = profile("Default") && profile("Profile 1")
                && writeLocalState(dir, {{"Default", "Person 1"}, {"Profile 1", "Kids"}});
            found("Default", "Default (Person 1)");
            found("Profile 1", "Profile 1 (Kids)");
        } else {
            ok = profile("Default");
            found("Default");
        }
    }
    return ok;
}

// Opera: the user-data folder is the profile; "Local State" is never read;
// side profiles that pass the folder test. Opera GX: only side profiles.
bool ProgramFixture::buildOpera()
{
    const QString opera = roaming(QString::fromLatin1(operaRows[0].dataPath));
    const QString gx = roaming(QString::fromLatin1(operaRows[1].dataPath));
    const QString air = roaming(QString::fromLatin1(operaRows[2].dataPath));
    const bool ok = makeChromiumProfile(opera) && writeLocalState(opera, {{"Default", "Someone"}})
        && makeChromiumProfile(opera + QStringLiteral("/_side_profiles/1A2B3C4D"))
        && makeTextFile(opera + QStringLiteral("/_side_profiles/broken/Preferences"), "{}")
        && writeLocalState(gx, {{"Default", "Gamer"}})
        && makeChromiumProfile(gx + QStringLiteral("/_side_profiles/GX1")) && makeChromiumProfile(air);
    expect("Opera", "Default", opera);
    expect("Opera", "1A2B3C4D", opera + QStringLiteral("/_side_profiles/1A2B3C4D"));
    expect("Opera GX", "GX1", gx + QStringLiteral("/_side_profiles/GX1"));
    expect("Opera Air", "Default", air);
    return ok;
}

// Viber: accounts with either database, its "Data" folder and an empty
// account. Syncthing: "config.xml" above an index without folder databases.
// Plex: only the blobs database.
bool ProgramFixture::buildOthers()
{
    const QString viber = roaming(QStringLiteral("ViberPC"));
    const QString syncthing = local(QStringLiteral("Syncthing"));
    const QString plex = local(QStringLiteral("Plex Media Server/Plug-in Support/Databases"));
    const bool ok = makeDatabase(viber + QStringLiteral("/+15551234567/viber.db"))
        && makeDatabase(viber + QStringLiteral("/+15550000000/data.db"))
        && makeDatabase(viber + QStringLiteral("/Data/viber.db"))
        && makeTextFile(viber + QStringLiteral("/empty account/config"), "x")
        && makeTextFile(syncthing + QStringLiteral("/config.xml"), "<configuration/>")
        && makeDatabase(syncthing + QStringLiteral("/index-v2/main.db"))
        && makeDatabase(plex + QStringLiteral("/com.plexapp.plugins.library.blobs.db"));
    expect("Viber", "+15550000000", viber + QStringLiteral("/+15550000000"));
    expect("Viber", "+15551234567", viber + QStringLiteral("/+15551234567"));
    expect("Syncthing", "Default", syncthing + QStringLiteral("/index-v2"));
    expect("Plex Media Server", "Default", plex);
    return ok;
}

bool ProgramFixture::buildLargeTree(int profilesPerProgram, int databasesPerProfile)
{
    const int count = qMax(1, profilesPerProgram);
    bool ok = true;
    for (const ProgramRow& row : firefoxRows) {
        const QString dataDir = roaming(QString::fromLatin1(row.dataPath));
        QString ini;
        for (int i = 0; ok && i < count; ++i) {
            const QString folder = QStringLiteral("Profiles/p%1.default").arg(i);
            ini += profilesIniGroup(i, QStringLiteral("profile %1").arg(i), folder);
            ok = makeFirefoxProfile(dataDir + QLatin1Char('/') + folder, databasesPerProfile);
        }
        ok = ok && makeTextFile(dataDir + QStringLiteral("/profiles.ini"), ini.toUtf8());
    }
    for (const ProgramRow& row : chromiumRows) {
        const QString dir = local(QString::fromLatin1(row.dataPath));
        QList<QPair<QString, QString>> names;
        for (int i = 0; ok && i < count; ++i) {
            const QString folder = i == 0 ? QStringLiteral("Default") : QStringLiteral("Profile %1").arg(i);
            names.append({folder, QStringLiteral("Person %1").arg(i + 1)});
            ok = makeChromiumProfile(dir + QLatin1Char('/') + folder, databasesPerProfile);
        }
        ok = ok && writeLocalState(dir, names);
    }
    for (const ProgramRow& row : operaRows) {
        const QString dir = roaming(QString::fromLatin1(row.dataPath));
        ok = ok && makeChromiumProfile(dir, databasesPerProfile);
        for (int i = 1; ok && i < count; ++i)
            ok = makeChromiumProfile(dir + QStringLiteral("/_side_profiles/side%1").arg(i), databasesPerProfile);
    }
    for (int i = 0; ok && i < count; ++i) {
        const QString account = roaming(QStringLiteral("ViberPC/+1555000%1").arg(i, 4, 10, QLatin1Char('0')));
        ok = makeDatabase(account + QStringLiteral("/viber.db"));
        for (int j = 0; ok && j < databasesPerProfile; ++j)
            ok = makeDatabase(account + QStringLiteral("/extra%1.db").arg(j));
    }
    const QString syncthing = local(QStringLiteral("Syncthing/index-v2"));
    const QString plex = local(QStringLiteral("Plex Media Server/Plug-in Support/Databases"));
    ok = ok && makeDatabase(syncthing + QStringLiteral("/main.db"))
        && makeDatabase(syncthing + QStringLiteral("/folder.abcd.db"))
        && makeDatabase(plex + QStringLiteral("/com.plexapp.plugins.library.db"));
    for (int j = 0; ok && j < databasesPerProfile; ++j) {
        ok = makeDatabase(syncthing + QStringLiteral("/extra%1.db").arg(j))
            && makeDatabase(plex + QStringLiteral("/extra%1.db").arg(j));
    }
    return ok;
}

} // namespace TestSupport
