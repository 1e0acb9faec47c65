// Where the supported programs are installed, on Windows: App Paths keys in the
// prefix's registry, .lnk shortcuts in its Start Menu folders, and the icons
// the profiles tree shows for them.
#include "Browser.h"
#include "BrowsersList.h"
#include "ProgramLocation.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

const wchar_t* const AppPathsKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

std::wstring wide(const QString& text)
{
    return text.toStdWString();
}

// One App Paths entry's default value, as an installer writes it.
bool registerAppPath(HKEY hive, REGSAM view, const QString& name, const QString& value, DWORD type = REG_SZ)
{
    HKEY key = nullptr;
    const std::wstring path = AppPathsKey + wide(name);
    if (RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring data = wide(value);
    const LONG status = RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                                       DWORD((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool makeShortcut(const QString& shortcut, const QString& target)
{
    if (!QDir().mkpath(QFileInfo(shortcut).path()))
        return false;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->SetPath(wide(QDir::toNativeSeparators(target)).c_str()))
        && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = SUCCEEDED(file->Save(wide(QDir::toNativeSeparators(shortcut)).c_str(), TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

bool touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("MZ") == 2;
}

QString environmentFolder(const char* name)
{
    return QDir::fromNativeSeparators(qEnvironmentVariable(name));
}

QString userPrograms()
{
    return environmentFolder("APPDATA") + "/Microsoft/Windows/Start Menu/Programs";
}

QString allUsersPrograms()
{
    return environmentFolder("ProgramData") + "/Microsoft/Windows/Start Menu/Programs";
}

} // namespace

class TestProgramLocationWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void appPaths_data();
    void appPaths();
    void startMenu_data();
    void startMenu();
    void programPath_data();
    void programPath();
    void browserResolvesItsProgram();
    void dataFolders();
    void icons_data();
    void icons();

private:
    QString file(const QString& name) const { return m_dir.path() + "/" + name; }

    QTemporaryDir m_dir;
    QString m_expandedTarget;
    QString m_deepProgram;
};

void TestProgramLocationWin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    for (const char* name : {"user.exe", "machine.exe", "machine32.exe", "firefox.exe", "gone.exe", "notes.txt"})
        QVERIFY(touch(file(name)));
    QVERIFY(QDir().mkpath(file("folder")));
    // A program installed deeper than the shell's path limit (MAX_PATH): the
    // file system takes it, the shell has no icon for it.
    QString deepFolder = file("deep");
    while (deepFolder.size() < MAX_PATH)
        deepFolder += QStringLiteral("/A Folder Of An Installer That Nests Deeply");
    m_deepProgram = deepFolder + "/app.exe";
    QVERIFY(touch(m_deepProgram));

    const QString missing = file("uninstalled/app.exe");
    auto native = [](const QString& path) { return QDir::toNativeSeparators(path); };
    const REGSAM view64 = KEY_WOW64_64KEY;
    const REGSAM view32 = KEY_WOW64_32KEY;
    // Both the user and the machine: the user's wins.
    QVERIFY(registerAppPath(HKEY_CURRENT_USER, view64, "both.exe", native(file("user.exe"))));
    QVERIFY(registerAppPath(HKEY_LOCAL_MACHINE, view64, "both.exe", native(file("machine.exe"))));
    // The user's copy was uninstalled: the machine's.
    QVERIFY(registerAppPath(HKEY_CURRENT_USER, view64, "stale.exe", native(missing)));
    QVERIFY(registerAppPath(HKEY_LOCAL_MACHINE, view64, "stale.exe", native(file("machine.exe"))));
    // Only a 32-bit installer's entry.
    QVERIFY(registerAppPath(HKEY_LOCAL_MACHINE, view32, "old32.exe", native(file("machine32.exe"))));
    // Quotes and spaces around the path, as many installers leave them.
    QVERIFY(registerAppPath(HKEY_CURRENT_USER, view64, "quoted.exe", " \"" + native(file("user.exe")) + "\" "));
    QVERIFY(registerAppPath(HKEY_CURRENT_USER, view64, "empty.exe", QString()));
    QVERIFY(registerAppPath(HKEY_CURRENT_USER, view64, "nowhere.exe", native(missing)));
    // The way real installers register themselves: REG_EXPAND_SZ with the
    // program folder's variable in it.
    m_expandedTarget = environmentFolder("ProgramFiles") + "/Quorbilan Test/app.exe";
    QVERIFY(!qEnvironmentVariable("ProgramFiles").isEmpty());
    QVERIFY(touch(m_expandedTarget));
    QVERIFY(registerAppPath(HKEY_LOCAL_MACHINE, view64, "expand.exe", "%ProgramFiles%\\Quorbilan Test\\app.exe",
                            REG_EXPAND_SZ));
    QVERIFY(registerAppPath(HKEY_CURRENT_USER, view64, "firefox.exe", native(file("firefox.exe"))));

    // The Start Menu is indexed once per process: every shortcut is in place
    // before the first look-up.
    QVERIFY(makeShortcut(userPrograms() + "/Firefox.lnk", file("user.exe")));
    QVERIFY(makeShortcut(allUsersPrograms() + "/Mozilla/Firefox.lnk", file("machine.exe")));
    QVERIFY(makeShortcut(allUsersPrograms() + "/Only All Users.lnk", file("machine.exe")));
    QVERIFY(makeShortcut(userPrograms() + "/Tools/Gone App.lnk", file("gone.exe")));
    QVERIFY(QFile::remove(file("gone.exe")));

    // What the GUI gives the profiles tree before its first window.
    setGenericFileIcon(QApplication::style()->standardIcon(QStyle::SP_FileIcon));
}

void TestProgramLocationWin::cleanupTestCase()
{
    setGenericFileIcon(QIcon());
    CoUninitialize();
}

void TestProgramLocationWin::appPaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("user and machine") << "both.exe" << file("user.exe");
    QTest::newRow("name in capitals") << "BOTH.EXE" << file("user.exe");
    QTest::newRow("user's entry points nowhere") << "stale.exe" << file("machine.exe");
    QTest::newRow("32-bit view only") << "old32.exe" << file("machine32.exe");
    QTest::newRow("quotes and spaces") << "quoted.exe" << file("user.exe");
    QTest::newRow("REG_EXPAND_SZ") << "expand.exe" << m_expandedTarget;
    QTest::newRow("empty value") << "empty.exe" << QString();
    QTest::newRow("missing file") << "nowhere.exe" << QString();
    QTest::newRow("not registered") << "unknown.exe" << QString();
    QTest::newRow("empty name") << QString() << QString();
}

void TestProgramLocationWin::appPaths()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(findInAppPaths(name), expected);
}

void TestProgramLocationWin::startMenu_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the user's shortcut wins") << "Firefox" << file("user.exe");
    QTest::newRow("any letter case") << "FIREFOX" << file("user.exe");
    QTest::newRow("all users") << "only all users" << file("machine.exe");
    QTest::newRow("target gone: the shortcut") << "Gone App" << userPrograms() + "/Tools/Gone App.lnk";
    QTest::newRow("no shortcut") << "Nothing" << QString();
}

void TestProgramLocationWin::startMenu()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(findInStartMenu(name).toLower(), expected.toLower());
}

void TestProgramLocationWin::programPath_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("expected");
    QTest::newRow("App Paths first") << QStringList{"stale.exe", "Firefox"} << file("machine.exe");
    QTest::newRow("then the Start Menu") << QStringList{"unknown.exe", "Firefox"} << file("user.exe");
    QTest::newRow("a display name's App Paths miss") << QStringList{"Only All Users"} << file("machine.exe");
    QTest::newRow("nothing") << QStringList{"unknown.exe", "Nothing"} << QString();
}

void TestProgramLocationWin::programPath()
{
    QFETCH(QStringList, names);
    QFETCH(QString, expected);
    QCOMPARE(findProgramPath(names).toLower(), expected.toLower());
}

void TestProgramLocationWin::browserResolvesItsProgram()
{
    BrowsersList list;
    Browser* firefox = nullptr;
    for (const auto& browser : list.browsers()) {
        if (browser->name() == QLatin1String("Firefox"))
            firefox = browser.get();
    }
    QVERIFY(firefox);
    firefox->resolveProgramPath();
    QCOMPARE(firefox->resolvedProgramPath(), file("firefox.exe"));
    QVERIFY(!firefox->icon().pixmap(32).isNull());
}

void TestProgramLocationWin::dataFolders()
{
    // Windows paths with forward slashes, drive letter first.
    QCOMPARE(appDataDir(), environmentFolder("APPDATA"));
    QCOMPARE(localAppDataDir(), environmentFolder("LOCALAPPDATA"));
    QVERIFY2(QDir::isAbsolutePath(appDataDir()) && appDataDir().at(1) == QLatin1Char(':'), qPrintable(appDataDir()));
    QVERIFY(!appDataDir().contains(QLatin1Char('\\')));
    // Every Windows profile has it (Wine keeps the temp folder elsewhere).
    QVERIFY(QFileInfo(joinPath(localAppDataDir(), "Microsoft")).isDir());
}

void TestProgramLocationWin::icons_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("generic");
    QTest::newRow("program") << QCoreApplication::applicationFilePath() << false;
    QTest::newRow("shortcut") << userPrograms() + "/Firefox.lnk" << false;
    QTest::newRow("text file") << file("notes.txt") << false;
    QTest::newRow("folder") << file("folder") << false;
    QTest::newRow("missing program") << file("uninstalled/app.exe") << false;
    QTest::newRow("missing file without a type") << file("user.exe").chopped(4) << false;
    QTest::newRow("program past the shell's path limit") << m_deepProgram << true;
}

// Every row of the profiles tree shows an icon: what the shell draws for the
// file, or the generic file icon where it draws nothing.
void TestProgramLocationWin::icons()
{
    QFETCH(QString, path);
    QFETCH(bool, generic);
    QVERIFY(iconForPath(QString()).isNull());
    const QIcon icon = iconForPath(path);
    QVERIFY(!icon.isNull());
    QVERIFY(!icon.pixmap(32).isNull());
    QVERIFY(!icon.pixmap(16).isNull());
    QCOMPARE(icon.cacheKey() == genericFileIcon().cacheKey(), generic);
}

QTEST_MAIN(TestProgramLocationWin)
#include "tst_ProgramLocation_win.moc"
