// The settings store on Windows: the registry under the organisation's and
// the program's names, read back by a new run of the program.
#include "AppSettings.h"
#include "SettingsFiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTest>

#include <windows.h>

#include <cstring>
#include <memory>

namespace {

const wchar_t* const StoreKey = L"Software\\Tulverhaven Software\\Quorbilan";
const char* const ReaderArgument = "--read-store";

std::unique_ptr<AppSettings> openStore()
{
    return std::make_unique<AppSettings>(QStringLiteral("Quorbilan"), QStringLiteral("Tulverhaven Software"));
}

// The program's own keys with their defaults, as its start registers them.
void registerProgramKeys(AppSettings& store)
{
    store.registerValueStringList("SelectedProfiles", {});
    store.registerValueString("LastBrowsedDir", {});
    store.registerValueByteArray("WindowGeometry", {});
    store.registerValueInt("UpdateChecker_Auto", 1);
    store.registerValueDateTime("UpdateChecker_NextCheck", {});
}

// A new run: registers the keys with other defaults and prints what it reads.
int runReader()
{
    auto store = openStore();
    store->registerValueStringList("SelectedProfiles", {"default"});
    store->registerValueString("LastBrowsedDir", "default");
    store->registerValueByteArray("WindowGeometry", "default");
    store->registerValueInt("UpdateChecker_Auto", 1);
    store->registerValueDateTime("UpdateChecker_NextCheck", QDateTime::currentDateTime());
    const QStringList lines = {
        store->valueStringList("SelectedProfiles").join('|'),
        store->valueString("LastBrowsedDir"),
        QString::fromLatin1(store->valueByteArray("WindowGeometry").toHex()),
        QString::number(store->valueInt("UpdateChecker_Auto")),
        store->valueDateTime("UpdateChecker_NextCheck").toString(Qt::ISODate),
    };
    const QByteArray text = lines.join('\n').toUtf8();
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.constData(), DWORD(text.size()), &written, nullptr);
    return 0;
}

struct RegistryValue
{
    DWORD type = REG_NONE;
    QByteArray data;
};

RegistryValue readRegistry(const wchar_t* name)
{
    RegistryValue value;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, StoreKey, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr, &size)
        != ERROR_SUCCESS)
        return {};
    value.data.resize(qsizetype(size));
    if (RegGetValueW(HKEY_CURRENT_USER, StoreKey, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, value.data.data(),
                     &size)
        != ERROR_SUCCESS)
        return {};
    value.data.resize(qsizetype(size));
    return value;
}

QString registryText(const RegistryValue& value)
{
    QString text = QString::fromWCharArray(reinterpret_cast<const wchar_t*>(value.data.constData()),
                                           value.data.size() / qsizetype(sizeof(wchar_t)));
    while (text.endsWith(QChar::Null))
        text.chop(1);
    return text;
}

} // namespace

class TestAppSettingsWin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void storeIsTheRegistry();
    void defaultsLandInTheRegistry();
    void valuesSurviveANewRun();
    void existingValueSurvivesRegistration();
};

void TestAppSettingsWin::init()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, StoreKey);
}

void TestAppSettingsWin::storeIsTheRegistry()
{
    QVERIFY(settingsStoreReadable("Tulverhaven Software", "Quorbilan"));
    {
        auto store = openStore();
        registerProgramKeys(*store);
        store->setValueString("LastBrowsedDir", "C:\\Users\\me");
    }
    HKEY key = nullptr;
    QCOMPARE(RegOpenKeyExW(HKEY_CURRENT_USER, StoreKey, 0, KEY_READ, &key), LONG(ERROR_SUCCESS));
    RegCloseKey(key);
    // No settings file beside the registry.
    const QString appData = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    QVERIFY(!QFileInfo::exists(appData + "/Tulverhaven Software"));
    QVERIFY(!QFileInfo::exists(appData + "/Tulverhaven Software/Quorbilan.ini"));
}

void TestAppSettingsWin::defaultsLandInTheRegistry()
{
    {
        auto store = openStore();
        registerProgramKeys(*store);
    }
    const RegistryValue automatic = readRegistry(L"UpdateChecker_Auto");
    QCOMPARE(automatic.type, DWORD(REG_DWORD));
    QCOMPARE(automatic.data.size(), qsizetype(4));
    QCOMPARE(*reinterpret_cast<const DWORD*>(automatic.data.constData()), DWORD(1));
    for (const wchar_t* name : {L"SelectedProfiles", L"LastBrowsedDir", L"WindowGeometry", L"UpdateChecker_NextCheck"})
        QVERIFY2(readRegistry(name).type != REG_NONE, qPrintable(QString::fromWCharArray(name)));
    QCOMPARE(registryText(readRegistry(L"LastBrowsedDir")), QString());
}

void TestAppSettingsWin::valuesSurviveANewRun()
{
    const QByteArray geometry("\x01\xd9\xd0\xcb\x00\x03\x00\x00\x00\x00\x00\x10", 12);
    const QDateTime next(QDate(2027, 3, 1), QTime(12, 30, 0));
    {
        auto store = openStore();
        registerProgramKeys(*store);
        store->setValueStringList("SelectedProfiles", {"Firefox|default-release", "Chrome|Profile 1"});
        // Backslashes stay as they are, unlike an INI file's.
        store->setValueString("LastBrowsedDir", "C:\\Users\\me\\Profiles");
        store->setValueByteArray("WindowGeometry", geometry);
        store->setValueInt("UpdateChecker_Auto", 0);
        store->setValueDateTime("UpdateChecker_NextCheck", next);
    }
    QCOMPARE(registryText(readRegistry(L"LastBrowsedDir")), QStringLiteral("C:\\Users\\me\\Profiles"));
    const RegistryValue profiles = readRegistry(L"SelectedProfiles");
    QCOMPARE(profiles.type, DWORD(REG_MULTI_SZ));
    QCOMPARE(registryText(profiles).split(QChar::Null), QStringList({"Firefox|default-release", "Chrome|Profile 1"}));

    QProcess reader;
    reader.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(ReaderArgument)});
    QVERIFY(reader.waitForFinished(60000));
    QCOMPARE(reader.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(reader.readAllStandardOutput()).split('\n');
    QCOMPARE(lines,
             QStringList({"Firefox|default-release|Chrome|Profile 1", "C:\\Users\\me\\Profiles",
                          QString::fromLatin1(geometry.toHex()), "0", next.toString(Qt::ISODate)}));
}

void TestAppSettingsWin::existingValueSurvivesRegistration()
{
    // Written as an earlier version or an administrator would: straight into the key.
    HKEY key = nullptr;
    QCOMPARE(RegCreateKeyExW(HKEY_CURRENT_USER, StoreKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
             LONG(ERROR_SUCCESS));
    const DWORD off = 0;
    QCOMPARE(RegSetValueExW(key, L"UpdateChecker_Auto", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off),
             LONG(ERROR_SUCCESS));
    RegCloseKey(key);

    auto store = openStore();
    registerProgramKeys(*store);
    QCOMPARE(store->valueInt("UpdateChecker_Auto"), 0);
    QCOMPARE(*reinterpret_cast<const DWORD*>(readRegistry(L"UpdateChecker_Auto").data.constData()), DWORD(0));
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], ReaderArgument) == 0) {
        QCoreApplication app(argc, argv);
        return runReader();
    }
    QCoreApplication app(argc, argv);
    TestAppSettingsWin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_AppSettings_win.moc"
