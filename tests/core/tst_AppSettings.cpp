#include "AppSettings.h"
#include "TestWorld.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestAppSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir root;
    QString confPath;

    static std::unique_ptr<AppSettings> openStore()
    {
        return std::make_unique<AppSettings>("Quorbilan", "Tulverhaven Software");
    }

    // The [General] section of the store file as written on disk: key -> raw text.
    QMap<QString, QString> storedLines() const
    {
        QMap<QString, QString> lines;
        QFile file(confPath);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return lines;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw);
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                lines.insert(line.left(eq), line.mid(eq + 1));
        }
        return lines;
    }

    QByteArray storeBytes() const
    {
        QFile file(confPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Reads a key the way the next start of the program would: in a new process.
    static QJsonArray readInNewProcess(const QString& type, const QString& key)
    {
        QProcess child;
        child.start(CORE_TEST_HELPER, {"settings", type, key});
        if (!child.waitForFinished(30000) || child.exitCode() != 0)
            return {};
        return QJsonDocument::fromJson(child.readAllStandardOutput()).array();
    }

    // Registers every key the program registers, in the program's order.
    static void registerProgramKeys(AppSettings& store)
    {
        store.registerValueStringList("SelectedProfiles", {});
        store.registerValueStringList("CustomProfiles", {});
        store.registerValueString("LastBrowsedDir", {});
        store.registerValueByteArray("WindowGeometry", {});
        store.registerValueByteArray("WindowState", {});
        store.registerValueInt("UpdateChecker_Auto", 1);
        store.registerValueDateTime("UpdateChecker_NextCheck", QDateTime());
        store.registerValueString("UpdateChecker_SkipVersion", {});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(root.isValid());
        isolateWorld(root.path());
        confPath = root.path() + "/config/Tulverhaven Software/Quorbilan.conf";
    }

    void init() { QFile::remove(confPath); }

    void firstStartWritesEveryDefault()
    {
        QVERIFY(!QFile::exists(confPath));
        {
            auto store = openStore();
            registerProgramKeys(*store);
        }
        const QMap<QString, QString> expected
            = {{"SelectedProfiles", "@Invalid()"}, {"CustomProfiles", "@Invalid()"}, {"LastBrowsedDir", ""},
               {"WindowGeometry", "@ByteArray()"}, {"WindowState", "@ByteArray()"},  {"UpdateChecker_Auto", "1"},
               {"UpdateChecker_NextCheck", ""},    {"UpdateChecker_SkipVersion", ""}};
        QCOMPARE(storedLines(), expected);

        // The defaults are what a new start reads back.
        QCOMPARE(readInNewProcess("int", "UpdateChecker_Auto"), QJsonArray{1});
        QCOMPARE(readInNewProcess("list", "SelectedProfiles"), QJsonArray{});
        auto store = openStore();
        store->registerValueDateTime("UpdateChecker_NextCheck", QDateTime::currentDateTime());
        QVERIFY(!store->valueDateTime("UpdateChecker_NextCheck").isValid());
    }

    void existingValueSurvivesRegistration()
    {
        {
            auto store = openStore();
            store->registerValueInt("UpdateChecker_Auto", 1);
            store->setValueInt("UpdateChecker_Auto", 0);
            store->registerValueString("LastBrowsedDir", {});
            store->setValueString("LastBrowsedDir", "/home/user/profiles");
        }
        auto store = openStore();
        store->registerValueInt("UpdateChecker_Auto", 1);
        store->registerValueString("LastBrowsedDir", "/elsewhere");
        QCOMPARE(store->valueInt("UpdateChecker_Auto"), 0);
        QCOMPARE(store->valueString("LastBrowsedDir"), QString("/home/user/profiles"));
        QCOMPARE(readInNewProcess("int", "UpdateChecker_Auto"), QJsonArray{0});
    }

    // A stored value of another type stays; the typed getter converts it.
    void storedValueOfAnotherTypeIsKept_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("number as text") << "7" << 7;
        QTest::newRow("not a number") << "often" << 0;
    }

    void storedValueOfAnotherTypeIsKept()
    {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        {
            auto store = openStore();
            store->registerValueString("UpdateChecker_Auto", {});
            store->setValueString("UpdateChecker_Auto", stored);
        }
        auto store = openStore();
        store->registerValueInt("UpdateChecker_Auto", 1);
        QCOMPARE(store->valueInt("UpdateChecker_Auto"), expected);
        QCOMPARE(storedLines().value("UpdateChecker_Auto"), stored);
    }

    void otherLetterCaseCountsAsAbsent()
    {
        {
            auto store = openStore();
            store->registerValueString("lastbrowseddir", {});
            store->setValueString("lastbrowseddir", "/old");
        }
        auto store = openStore();
        store->registerValueString("LastBrowsedDir", "/default");
        QCOMPARE(store->valueString("LastBrowsedDir"), QString("/default"));
        QCOMPARE(storedLines().value("lastbrowseddir"), QString("/old"));
    }

    void misuseWritesErrorAndTouchesNothing_data()
    {
        QTest::addColumn<QString>("misuse");
        QTest::addColumn<QString>("message");
        QTest::newRow("second registration")
            << "registerTwice"
            << "ERROR: trying to register a value 'UpdateChecker_Auto' for the second time!";
        QTest::newRow("getter of unregistered key") << "getUnregistered"
                                                    << "ERROR: 'NeverRegistered' is not registered in AppSettings";
        QTest::newRow("setter of unregistered key") << "setUnregistered"
                                                    << "ERROR: 'NeverRegistered' is not registered in AppSettings";
        QTest::newRow("int getter of a date key")
            << "getWrongType"
            << "ERROR: 'UpdateChecker_NextCheck' is registered with another type QString";
        QTest::newRow("list setter of a byte-array key")
            << "setWrongType"
            << "ERROR: 'WindowGeometry' is registered with another type QByteArray";
    }

    void misuseWritesErrorAndTouchesNothing()
    {
        QFETCH(QString, misuse);
        QFETCH(QString, message);
        auto store = openStore();
        registerProgramKeys(*store);
        store->setValueInt("UpdateChecker_Auto", 5);
        const QByteArray before = storeBytes();

        QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
        if (misuse == "registerTwice") {
            store->registerValueString("UpdateChecker_Auto", "text");
            QCOMPARE(store->valueInt("UpdateChecker_Auto"), 5);
        } else if (misuse == "getUnregistered") {
            QCOMPARE(store->valueString("NeverRegistered"), QString());
        } else if (misuse == "setUnregistered") {
            store->setValueString("NeverRegistered", "value");
        } else if (misuse == "getWrongType") {
            QCOMPARE(store->valueInt("UpdateChecker_NextCheck"), 0);
        } else if (misuse == "setWrongType") {
            store->setValueStringList("WindowGeometry", {"a"});
        }
        QCOMPARE(storeBytes(), before);
        QVERIFY(!storedLines().contains("NeverRegistered"));
    }

    void dateTimeRoundTripsAsIsoText_data()
    {
        QTest::addColumn<QDateTime>("value");
        const QDate date(2024, 2, 29);
        const QTime time(13, 45, 7);
        QTest::newRow("UTC") << QDateTime(date, time, Qt::UTC);
        QTest::newRow("offset") << QDateTime(date, time, Qt::OffsetFromUTC, 2 * 3600);
        QTest::newRow("local") << QDateTime(date, time, Qt::LocalTime);
    }

    void dateTimeRoundTripsAsIsoText()
    {
        QFETCH(QDateTime, value);
        auto store = openStore();
        store->registerValueDateTime("UpdateChecker_NextCheck", QDateTime());
        store->setValueDateTime("UpdateChecker_NextCheck", value);
        QCOMPARE(dateTimeToSettingString(value), value.toString(Qt::ISODate));
        QCOMPARE(storedLines().value("UpdateChecker_NextCheck"), value.toString(Qt::ISODate));
        QCOMPARE(store->valueDateTime("UpdateChecker_NextCheck"), value);

        store->setValueDateTime("UpdateChecker_NextCheck", QDateTime());
        QCOMPARE(storedLines().value("UpdateChecker_NextCheck", "missing"), QString());
        QVERIFY(!store->valueDateTime("UpdateChecker_NextCheck").isValid());
    }

    void stringListSurvivesRestart_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::newRow("custom profile entries") << QStringList{"Mozilla\t/home/u/a, b/profile", "Chromium\t/opt/x,y"};
        QTest::newRow("one entry with tab and comma") << QStringList{"Viber\t/data/one,two"};
        QTest::newRow("commas only") << QStringList{",", ",,", "a,b,c"};
        QTest::newRow("quotes, spaces, backslash, non-ASCII")
            << QStringList{" lead", "trail ", "\"quoted\"", "C:\\Users\\foo", "Zürich/日本"};
        QTest::newRow("empty list") << QStringList{};
    }

    void stringListSurvivesRestart()
    {
        QFETCH(QStringList, list);
        {
            auto store = openStore();
            store->registerValueStringList("CustomProfiles", {"default"});
            store->setValueStringList("CustomProfiles", list);
        }
        QCOMPARE(readInNewProcess("list", "CustomProfiles"), QJsonArray::fromStringList(list));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_AppSettings.moc"
