#include "ProgramLocation.h"
#include "SqliteFixture.h"
#include "TestBrowser.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace TestSupport;

// The menu and the PATH are read once per process, so one world serves every
// test: executables in bin/, desktop entries for the user and the system, and
// an icon theme.
class TestProgramLocation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void joinPathCases_data();
    void joinPathCases();
    void dataFolders();
    void executablesOnPath_data();
    void executablesOnPath();
    void lookupScopeAnswersAsThePathSearch_data();
    void lookupScopeAnswersAsThePathSearch();
    void lookupScopeListsOncePerScope();
    void menuEntries_data();
    void menuEntries();
    void programPathTriesEveryNameBothWays_data();
    void programPathTriesEveryNameBothWays();
    void icons();
    void browserResolvesOnce();

private:
    bool makeExecutable(const QString& name, bool executable = true);
    bool makeEntry(const QString& folder, const QString& file, const QString& name, const QString& exec,
                   const QString& icon = QString());
    QString bin(const QString& name) const { return root + "/bin/" + name; }

    QTemporaryDir dir;
    QString root;
    QString userApps;
    QString systemApps;
};

bool TestProgramLocation::makeExecutable(const QString& name, bool executable)
{
    QFile file(bin(name));
    if (!QDir().mkpath(root + "/bin") || !file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\n");
    file.close();
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permissions());
    return file.setPermissions(mode);
}

bool TestProgramLocation::makeEntry(const QString& folder, const QString& file, const QString& name,
                                    const QString& exec, const QString& icon)
{
    QString text = "[Desktop Entry]\nType=Application\nName=" + name + "\nName[de]=Anders\nExec=" + exec + "\n";
    if (!icon.isEmpty())
        text += "Icon=" + icon + "\n";
    text += "\n[Desktop Action new-window]\nName=New Window\nExec=/bin/false\nIcon=other\n";
    const QString path = folder + '/' + file;
    return QDir().mkpath(QFileInfo(path).absolutePath()) && writeFile(path, text.toUtf8());
}

void TestProgramLocation::initTestCase()
{
    QVERIFY(dir.isValid());
    root = dir.path();
    userApps = root + "/user/applications";
    systemApps = root + "/system/applications";
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/user").toUtf8());
    qputenv("XDG_DATA_DIRS", (root + "/system").toUtf8());
    qputenv("PATH", (root + "/bin").toUtf8());

    QVERIFY(makeExecutable("firefox"));
    QVERIFY(makeExecutable("sysfirefox"));
    QVERIFY(makeExecutable("chrome"));
    QVERIFY(makeExecutable("lonely-tool"));
    QVERIFY(makeExecutable("msedge", false));

    const QString png = root + "/chrome.png";
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(png));
    QVERIFY(makeEntry(userApps, "firefox.desktop", "Firefox", "firefox %u", "fixture-firefox"));
    QVERIFY(makeEntry(userApps, "google-chrome.desktop", "Google Chrome", "\"" + bin("chrome") + "\" --flag", png));
    QVERIFY(makeEntry(userApps, "stale.desktop", "Old Tool", "/nonexistent/tool"));
    QVERIFY(makeEntry(userApps, "kde/vivaldi.desktop", "Vivaldi Browser", "vivaldi-gone"));
    QVERIFY(makeEntry(systemApps, "firefox.desktop", "Firefox", bin("sysfirefox")));
    QVERIFY(makeEntry(systemApps, "opera.desktop", "Opera", "chrome"));

    // Entries started through launchers, which are on PATH too: the program
    // is the one the launcher starts, with its own icon.
    for (const char* name : {"env", "snap", "flatpak", "bravo", "zen", "io.example.Wolf"})
        QVERIFY(makeExecutable(name));
    QImage green(32, 32, QImage::Format_ARGB32);
    green.fill(Qt::green);
    QVERIFY(green.save(root + "/bravo.png"));
    QImage blue(32, 32, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    QVERIFY(blue.save(root + "/zen.png"));
    QVERIFY(makeEntry(userApps, "bravo.desktop", "Bravo Browser", "env -u X BRAVO_A=1 GDK_BACKEND=x11 bravo %U",
                      root + "/bravo.png"));
    QVERIFY(makeEntry(userApps, "zen.desktop", "Zen Browser", "env MOZ_X=1 \"zen\" %u", root + "/zen.png"));
    QVERIFY(makeEntry(userApps, "wolf.desktop", "Wolf",
                      bin("flatpak") + " run --branch=stable --command=wolf io.example.Wolf"));
    QVERIFY(makeEntry(userApps, "bird.desktop", "Bird", "snap run bird"));
    QVERIFY(makeEntry(userApps, "assigned.desktop", "Assigned", "LANG=C zen"));

    const QString theme = root + "/icons/fixture";
    QVERIFY(QDir().mkpath(theme + "/32x32/apps"));
    QVERIFY(writeFile(theme + "/index.theme",
                      "[Icon Theme]\nName=Fixture\nDirectories=32x32/apps\n\n[32x32/apps]\nSize=32\nType=Fixed\n"));
    QVERIFY(image.save(theme + "/32x32/apps/fixture-firefox.png"));
    QIcon::setThemeSearchPaths({root + "/icons"});
    QIcon::setThemeName("fixture");
}

void TestProgramLocation::joinPathCases_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "C:/Users/u/AppData/Roaming"
                           << "Mozilla/Firefox"
                           << "C:/Users/u/AppData/Roaming/Mozilla/Firefox";
    QTest::newRow("slashes at both ends") << "C:/x/"
                                          << "y/"
                                          << "C:/x/y";
    QTest::newRow("empty base") << ""
                                << "Mozilla/Firefox"
                                << "";
    QTest::newRow("empty part") << "C:/x"
                                << ""
                                << "";
    QTest::newRow("only slashes") << "/"
                                  << "/"
                                  << "";
    QTest::newRow("double slash stays") << "C:/x/"
                                        << "/y"
                                        << "C:/x//y";
    QTest::newRow("backslashes stay") << "C:\\x"
                                      << "y\\z"
                                      << "C:\\x/y\\z";
}

void TestProgramLocation::joinPathCases()
{
    QFETCH(QString, base);
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    QCOMPARE(joinPath(base, relative), expected);
}

void TestProgramLocation::dataFolders()
{
    qputenv("LOCALAPPDATA", "C:/Users/u/AppData/Local");
    qputenv("APPDATA", "/home/u/Roaming/");
    QCOMPARE(localAppDataDir(), QStringLiteral("C:/Users/u/AppData/Local"));
    QCOMPARE(appDataDir(), QStringLiteral("/home/u/Roaming/"));
    QCOMPARE(joinPath(appDataDir(), "ViberPC"), QStringLiteral("/home/u/Roaming/ViberPC"));
    qunsetenv("LOCALAPPDATA");
    qunsetenv("APPDATA");
    QCOMPARE(localAppDataDir(), QString());
    QCOMPARE(appDataDir(), QString());
    QCOMPARE(joinPath(localAppDataDir(), "Google/Chrome/User Data"), QString());
}

void TestProgramLocation::executablesOnPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // below bin/, or empty
    QTest::newRow(".exe dropped") << "firefox.exe"
                                  << "firefox";
    QTest::newRow(".EXE dropped") << "chrome.EXE"
                                  << "chrome";
    QTest::newRow("bare name") << "chrome"
                               << "chrome";
    QTest::newRow("not executable") << "msedge.exe"
                                    << "";
    QTest::newRow("missing") << "brave.exe"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only .exe") << ".exe"
                               << "";
}

void TestProgramLocation::executablesOnPath()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(findInAppPaths(name), expected.isEmpty() ? QString() : bin(expected));
}

// Three PATH folders with shadowed, non-executable, dangling and relative
// entries: inside a scope every answer equals the plain search's.
void TestProgramLocation::lookupScopeAnswersAsThePathSearch_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"firefox.exe", "shadowed", "late", "notexec", "dangling", "folder", "chrome",
                             "missing.exe", "sub/tool", "relative-tool", ".exe", ""})
        QTest::newRow(*name ? name : "empty") << QString::fromLatin1(name);
}

void TestProgramLocation::lookupScopeAnswersAsThePathSearch()
{
    QFETCH(QString, name);
    const QByteArray savedPath = qgetenv("PATH");
    const QString savedCurrent = QDir::currentPath();
    const QString a = root + "/pathA", b = root + "/pathB", rel = root + "/cwd/relbin";
    QVERIFY(QDir().mkpath(a + "/folder") && QDir().mkpath(b + "/sub") && QDir().mkpath(rel));
    const auto exe = [](const QString& path, bool executable) {
        return writeFile(path, "#!/bin/sh\n")
            && QFile::setPermissions(
                   path, QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permissions()));
    };
    QVERIFY(exe(a + "/shadowed", true) && exe(b + "/shadowed", true));
    QVERIFY(exe(a + "/notexec", false) && exe(b + "/notexec", true));
    QVERIFY(exe(b + "/late", true) && exe(b + "/sub/tool", true) && exe(rel + "/relative-tool", true));
    QFile::remove(a + "/dangling");
    QVERIFY(QFile::link(a + "/nowhere", a + "/dangling") && exe(b + "/dangling", true));
    QVERIFY(QDir::setCurrent(root + "/cwd"));
    qputenv("PATH", (a + "::" + b + "//:relbin:" + root + "/bin/").toUtf8());

    const QString plain = findInAppPaths(name);
    QString scoped;
    {
        const ProgramLookupScope scope;
        scoped = findInAppPaths(name);
    }
    qputenv("PATH", savedPath);
    QVERIFY(QDir::setCurrent(savedCurrent));
    QCOMPARE(scoped, plain);
}

void TestProgramLocation::lookupScopeListsOncePerScope()
{
    const QByteArray savedPath = qgetenv("PATH");
    const QString folder = root + "/pathLater";
    QVERIFY(QDir().mkpath(folder));
    qputenv("PATH", (folder + ':' + root + "/bin").toUtf8());
    const auto add = [&] {
        return writeFile(folder + "/newcomer", "#!/bin/sh\n")
            && QFile::setPermissions(folder + "/newcomer", QFile::ReadOwner | QFile::ExeOwner);
    };
    {
        const ProgramLookupScope scope;
        QCOMPARE(findInAppPaths("chrome.exe"), bin("chrome")); // lists both folders
        QVERIFY(add());
        QCOMPARE(findInAppPaths("newcomer.exe"), QString());
        // A changed PATH is not answered from the old listings.
        qputenv("PATH", (root + "/bin:" + folder).toUtf8());
        QCOMPARE(findInAppPaths("newcomer.exe"), folder + "/newcomer");
    }
    qputenv("PATH", (folder + ':' + root + "/bin").toUtf8());
    QCOMPARE(findInAppPaths("newcomer.exe"), folder + "/newcomer");
    {
        const ProgramLookupScope scope;
        QCOMPARE(findInAppPaths("newcomer"), folder + "/newcomer");
    }
    qputenv("PATH", savedPath);
}

void TestProgramLocation::menuEntries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // "bin:x", "user:file" or empty
    QTest::newRow("user entry wins") << "Firefox"
                                     << "bin:firefox";
    QTest::newRow("any letter case") << "FIREFOX"
                                     << "bin:firefox";
    QTest::newRow("display name") << "Google Chrome"
                                  << "bin:chrome";
    QTest::newRow("file name") << "google-chrome"
                               << "bin:chrome";
    QTest::newRow("system entry") << "opera"
                                  << "bin:chrome";
    QTest::newRow("target gone: the entry itself") << "Old Tool"
                                                   << "user:stale.desktop";
    QTest::newRow("entry in a subfolder") << "vivaldi browser"
                                          << "user:kde/vivaldi.desktop";
    QTest::newRow("action names do not count") << "New Window"
                                               << "";
    QTest::newRow("env with options and variables") << "Bravo Browser"
                                                    << "bin:bravo";
    QTest::newRow("variable before the program") << "Assigned"
                                                 << "bin:zen";
    QTest::newRow("flatpak run") << "Wolf"
                                 << "bin:io.example.Wolf";
    QTest::newRow("snap run of a program not on PATH: the entry itself") << "Bird"
                                                                         << "user:bird.desktop";
    QTest::newRow("unknown") << "Pale Moon"
                             << "";
}

void TestProgramLocation::menuEntries()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QString path;
    if (expected.startsWith("bin:"))
        path = bin(expected.mid(4));
    else if (expected.startsWith("user:"))
        path = userApps + '/' + expected.mid(5);
    QCOMPARE(findInStartMenu(name), path);
}

void TestProgramLocation::programPathTriesEveryNameBothWays_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("expected");
    QTest::newRow("second name") << QStringList{"Google Chrome Beta", "chrome.exe"} << "chrome";
    QTest::newRow("executable before menu") << QStringList{"firefox.exe", "Google Chrome"} << "firefox";
    QTest::newRow("menu when not on PATH") << QStringList{"Firefox"} << "firefox";
    QTest::newRow("nothing") << QStringList{"brave.exe", "Brave"} << "";
    QTest::newRow("no names") << QStringList{} << "";
}

void TestProgramLocation::programPathTriesEveryNameBothWays()
{
    QFETCH(QStringList, names);
    QFETCH(QString, expected);
    QCOMPARE(findProgramPath(names), expected.isEmpty() ? QString() : bin(expected));
}

void TestProgramLocation::icons()
{
    QVERIFY(iconForPath(QString()).isNull());

    const QIcon themed = iconForPath(bin("firefox"));
    QCOMPARE(themed.name(), QStringLiteral("fixture-firefox"));

    const QIcon fromFile = iconForPath(bin("chrome"));
    QVERIFY(!fromFile.isNull());
    QCOMPARE(fromFile.pixmap(32).toImage().pixelColor(16, 16), QColor(Qt::red));

    // Two programs started through env keep their own icons.
    QCOMPARE(iconForPath(bin("bravo")).pixmap(32).toImage().pixelColor(16, 16), QColor(Qt::green));
    QCOMPARE(iconForPath(bin("zen")).pixmap(32).toImage().pixelColor(16, 16), QColor(Qt::blue));

    // Nothing known about these: the generic program icon, never a null one.
    for (const QString& path : {bin("lonely-tool"), userApps + "/stale.desktop", root + "/not-there"}) {
        const QIcon generic = iconForPath(path);
        QVERIFY2(!generic.isNull(), qPrintable(path));
        QVERIFY(!generic.pixmap(32).isNull());
    }
}

void TestProgramLocation::browserResolvesOnce()
{
    TestBrowser firefox("Firefox");
    QVERIFY(!firefox.isProgramPathResolved());
    firefox.resolveProgramPath();
    QVERIFY(firefox.isProgramPathResolved());
    QCOMPARE(firefox.resolvedProgramPath(), bin("firefox"));
    QVERIFY(QFile::rename(bin("firefox"), bin("firefox.moved")));
    firefox.resolveProgramPath();
    QCOMPARE(firefox.resolvedProgramPath(), bin("firefox"));
    const QIcon icon = firefox.icon();
    QCOMPARE(icon.name(), QStringLiteral("fixture-firefox"));
    QCOMPARE(firefox.icon().cacheKey(), icon.cacheKey());
    QVERIFY(QFile::rename(bin("firefox.moved"), bin("firefox")));

    TestBrowser unknown("Unknown Program");
    unknown.resolveProgramPath();
    QVERIFY(unknown.isProgramPathResolved());
    QVERIFY(unknown.resolvedProgramPath().isEmpty());
    QVERIFY(unknown.icon().isNull());
}

QTEST_MAIN(TestProgramLocation)
#include "tst_ProgramLocation.moc"
