#include "LanguageTable.h"
#include "PrivateCopy.h"
#include "TestWorld.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QResource>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const char* const okKey = "core/QMessageBoxEx/buttonOK";
const char* const cancelKey = "core/QMessageBoxEx/buttonCancel";

QString languagesDir()
{
    return QCoreApplication::applicationDirPath() + "/languages";
}

// The helper runs from this program's folder, so it sees the same languages/.
QString coreTestHelper()
{
    return QCoreApplication::applicationDirPath() + "/" + QFileInfo(CORE_TEST_HELPER).fileName();
}

void writeLanguageFile(const QString& fileName, const QByteArray& xml)
{
    QDir().mkpath(languagesDir());
    QFile file(languagesDir() + "/" + fileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(xml);
}

// A language file that replaces only the OK button's text.
QByteArray okOnlyFile(const QByteArray& text)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LanguageStrings><core><QMessageBoxEx><buttonOK>" + text
        + "</buttonOK></QMessageBoxEx></core></LanguageStrings>\n";
}

} // namespace

class TestLanguageTable : public QObject
{
    Q_OBJECT

    QTemporaryDir root;

private slots:
    void initTestCase()
    {
        QVERIFY(root.isValid());
        isolateWorld(root.path());
        QDir(languagesDir()).removeRecursively();
    }

    void cleanup() { QDir(languagesDir()).removeRecursively(); }

    void builtinTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        const QList<std::pair<const char*, const char*>> rows = {
            {"core/QMessageBoxEx/buttonOK", "OK"},
            {"core/QMessageBoxEx/buttonCancel", "Cancel"},
            {"core/QMessageBoxEx/buttonClose", "Close"},
            {"core/QMessageBoxEx/buttonYes", "Yes"},
            {"core/QMessageBoxEx/buttonNo", "No"},
            {"core/UpdateChecker/ReleasedOn", "released on %1"},
            {"core/UpdateChecker/CheckForUpdates", "Check for updates..."},
            {"core/UpdateChecker/NewVersionAvailable", "A new version of %1 is available!"},
            {"core/UpdateChecker/NewVersionAvailableText",
             "%1 %2 is now available - you have %3. Would you like to download it now?"},
            {"core/UpdateChecker/UpdateAlertTitle", "Software Update"},
            {"core/UpdateChecker/UpdateAlertReleaseNotes", "Release Notes:"},
            {"core/UpdateChecker/UpdateAlertRemindLater", "Remind Me Later"},
            {"core/UpdateChecker/UpdateAlertSkip", "Skip This Version"},
            {"core/UpdateChecker/UpdateAlertInstall", "Install Update"},
            {"core/UpdateChecker/UpdateAlertAutomaticUpdates", "Check for updates automatically"},
            {"core/UpdateChecker/MessageNoUpdateAvailable", "You're up to date!"},
            {"core/UpdateChecker/MessageNoUpdateAvailableDescription",
             "%1 %2 is currently the newest version available."},
            {"core/UpdateChecker/MessageErrorConnect",
             "An error occurred while downloading the update. Please try again later."},
            {"core/UpdateChecker/MessageErrorParse", "An error occurred while parsing the update feed."},
            {"core/UpdateChecker/UpdateProgressTitle", "Updating %1"},
            {"core/UpdateChecker/UpdateProgressCancel", "Cancel"},
            {"core/UpdateChecker/UpdateProgressInstallAndRelaunch", "Install and Relaunch"},
            {"core/UpdateChecker/UpdateProgressStatusDownloading", "Downloading update..."},
            {"core/UpdateChecker/UpdateProgressExtract", "Extracting update..."},
            {"core/UpdateChecker/UpdateProgressStatusReady", "Ready to Install"},
            {"core/UpdateChecker/UpdateProgressSize", "%1 of %2"},
            {"core/UpdateChecker/UpdateProgressB", "B"},
            {"core/UpdateChecker/UpdateProgressKB", "KB"},
            {"core/UpdateChecker/UpdateProgressMB", "MB"},
            {"core/UpdateChecker/UpdateProgressGB", "GB"},
        };
        for (const auto& [key, text] : rows)
            QTest::newRow(key) << QString(key) << QString(text);
    }

    void builtinTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        LanguageTable table(":/English.xml");
        table.load("English.xml");
        QCOMPARE(table.translate(key), text);
        QString out;
        QVERIFY(table.tryTranslate(key, out));
        QCOMPARE(out, text);
    }

    void builtinResourceAsShipped()
    {
        QResource resource(":/English.xml");
        QVERIFY(resource.isValid());
        QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
        const QByteArray bytes = readResource(":/English.xml");
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
        QVERIFY(bytes.contains("<LanguageStrings version=\"1.0\" Author=\"Tulverhaven Software\">"));

        LanguageTable table(":/English.xml");
        QCOMPARE(table.currentLanguageName(), QString());
        table.load("English.xml");
        QCOMPARE(table.currentLanguageName(), QString("English"));
    }

    void unknownKeyReturnsItself()
    {
        LanguageTable table(":/English.xml");
        QCOMPARE(table.translate(okKey), QString(okKey)); // never loaded
        table.load("English.xml");
        for (const QString& key : QStringList{"core/QMessageBoxEx/buttonMaybe", "core/QMessageBoxEx", "", "core"}) {
            QCOMPARE(table.translate(key), key);
            QString out = "untouched";
            QVERIFY(!table.tryTranslate(key, out));
            QCOMPARE(out, QString("untouched"));
        }
    }

    // Debian's rcc packs resources with zstd; the table must read any packing.
    void compressedResourceIsRead_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("algorithm");
        QTest::newRow("zstd") << ":/test/Compressed.xml" << int(QResource::ZstdCompression);
        QTest::newRow("zlib") << ":/test/CompressedZlib.xml" << int(QResource::ZlibCompression);
    }

    void compressedResourceIsRead()
    {
        QFETCH(QString, path);
        QFETCH(int, algorithm);
        QCOMPARE(int(QResource(path).compressionAlgorithm()), algorithm);
        QFile source(TEST_DATA_DIR "/Compressed.xml");
        QVERIFY(source.open(QIODevice::ReadOnly));
        QCOMPARE(readResource(path), source.readAll());

        LanguageTable table(path);
        table.load("English.xml");
        QCOMPARE(table.translate(okKey), QString("OK from zstd"));
        QCOMPARE(table.translate("core/Compressed/Sample119"),
                 QString("Sample text number 119 of the compressed test strings."));
    }

    void missingBuiltinLeavesTableEmpty()
    {
        QTest::ignoreMessage(QtDebugMsg, "Unable to find :/Missing.xml");
        QVERIFY(readResource(":/Missing.xml").isEmpty());

        writeLanguageFile("German.xml", okOnlyFile("Gut"));
        LanguageTable table(":/Missing.xml");
        QTest::ignoreMessage(QtDebugMsg, "Unable to find :/Missing.xml");
        table.load("English.xml");
        QCOMPARE(table.translate(okKey), QString(okKey));
        QString out;
        QVERIFY(!table.tryTranslate(okKey, out));
        QCOMPARE(table.currentLanguageName(), QString());

        // The language file still counts on its own.
        QTest::ignoreMessage(QtDebugMsg, "Unable to find :/Missing.xml");
        table.load("German");
        QCOMPARE(table.translate(okKey), QString("Gut"));
        QCOMPARE(table.translate(cancelKey), QString(cancelKey));
    }

    void leafTextRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("backslash n") << "core/T/newline"
                                     << "one\ntwo\n";
        QTest::newRow("other escapes stay") << "core/T/others"
                                            << "a\\tb\\\\c\\N";
        QTest::newRow("empty leaf") << "core/T/empty"
                                    << "";
        QTest::newRow("empty pair") << "core/T/emptyPair"
                                    << "";
        QTest::newRow("entities") << "core/T/entities"
                                  << "<b>Tom & \"Jerry\"</b>";
        QTest::newRow("whitespace kept") << "core/T/spaces"
                                         << "  two  words ";
        QTest::newRow("non-ASCII") << "core/T/umlaut"
                                   << "Schließen – 閉じる";
        QTest::newRow("later duplicate wins") << "core/T/twice"
                                              << "second";
        QTest::newRow("deep group") << "core/T/deeper/leaf"
                                    << "deep";
        QTest::newRow("attribute ignored") << "core/T/attr"
                                           << "value";
        QTest::newRow("untouched built-in") << cancelKey << "Cancel";
    }

    void leafTextRules()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        writeLanguageFile("Rules.xml",
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<LanguageStrings><core><T>"
                          "<newline>one\\ntwo\\n</newline>"
                          "<others>a\\tb\\\\c\\N</others>"
                          "<empty/><emptyPair></emptyPair>"
                          "<entities>&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;</entities>"
                          "<spaces>  two  words </spaces>"
                          "<umlaut>Schließen – 閉じる</umlaut>"
                          "<twice>first</twice><twice>second</twice>"
                          "<deeper><leaf>deep</leaf></deeper>"
                          "<attr lang=\"x\">value</attr>"
                          "</T></core></LanguageStrings>\n");
        LanguageTable table(":/English.xml");
        table.load("Rules");
        QCOMPARE(table.currentLanguageName(), QString("Rules"));
        QCOMPARE(table.translate(key), text);
    }

    // Which file a name leads to: name as given, file created in languages/,
    // whether that file's text must win, and the language name afterwards.
    void nameRulesOfLoad_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("overrides");
        QTest::addColumn<QString>("current");
        const QByteArray file = okOnlyFile("Replaced");
        QTest::newRow("English.xml reads only the built-in file") << "English.xml"
                                                                  << "English.xml" << file << false << "English";
        QTest::newRow("English also tries the folder") << "English"
                                                       << "English.xml" << file << true << "English";
        QTest::newRow("name gets .xml") << "German"
                                        << "German.xml" << file << true << "German";
        QTest::newRow("name with .xml") << "German.xml"
                                        << "German.xml" << file << true << "German";
        QTest::newRow("upper-case suffix is not .xml") << "Deutsch.XML"
                                                       << "Deutsch.XML.xml" << file << true << "Deutsch.XML";
        QTest::newRow("short name stays as it is") << "abcd"
                                                   << "abcd" << file << true << "";
        QTest::newRow("short name gets no .xml") << "abcd"
                                                 << "abcd.xml" << file << false << "English";
        QTest::newRow("missing file") << "Klingon"
                                      << "Other.xml" << file << false << "English";
        QTest::newRow("file not well-formed")
            << "Broken"
            << "Broken.xml" << QByteArray("<LanguageStrings><core>") << false << "English";
        QTest::newRow("empty file") << "Empty"
                                    << "Empty.xml" << QByteArray() << false << "English";
    }

    void nameRulesOfLoad()
    {
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(bool, overrides);
        QFETCH(QString, current);
        writeLanguageFile(fileName, content);
        LanguageTable table(":/English.xml");
        QCOMPARE(table.load(name), overrides || name == "English.xml");
        QCOMPARE(table.translate(okKey), QString(overrides ? "Replaced" : "OK"));
        QCOMPARE(table.translate(cancelKey), QString("Cancel"));
        QCOMPARE(table.currentLanguageName(), current);
    }

    // A language file that is a FIFO (or links to one) would block the
    // start for ever; it is passed over like a missing one.
    void languageFileThatIsNoFileIsIgnored_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("link to a fifo") << "link";
        QTest::newRow("folder") << "folder";
    }

    void languageFileThatIsNoFileIsIgnored()
    {
        QFETCH(QString, kind);
        QVERIFY(QDir().mkpath(languagesDir()));
        const QString path = languagesDir() + "/German.xml";
        const QString fifo = kind == "link" ? languagesDir() + "/elsewhere" : path;
        if (kind == "folder")
            QVERIFY(QDir().mkpath(path));
        else
            QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (kind == "link")
            QVERIFY(QFile::link(fifo, path));
        LanguageTable table(":/English.xml");
        QVERIFY(!table.load("German"));
        QCOMPARE(table.translate(okKey), QString("OK"));
        QCOMPARE(table.currentLanguageName(), QString("English"));
    }

    void reloadRebuildsTable()
    {
        writeLanguageFile("German.xml", okOnlyFile("Gut"));
        LanguageTable table(":/English.xml");
        table.load("German");
        QCOMPARE(table.translate(okKey), QString("Gut"));
        table.load("English.xml");
        QCOMPARE(table.translate(okKey), QString("OK"));
        QCOMPARE(table.currentLanguageName(), QString("English"));
    }

    // An empty name means the system's language: run where that is French.
    void emptyNameUsesSystemLanguage()
    {
        writeLanguageFile("French.xml", okOnlyFile("D'accord"));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "fr_FR.UTF-8");
        env.insert("LANG", "fr_FR.UTF-8");
        child.setProcessEnvironment(env);
        child.start(coreTestHelper(), {"language", "", okKey});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        const QJsonObject out = QJsonDocument::fromJson(child.readAllStandardOutput()).object();
        QCOMPARE(out["current"].toString(), QString("French"));
        QCOMPARE(out["texts"].toObject()[okKey].toString(), QString("D'accord"));
    }

    void ensureTrailingSeparatorAddsOnce()
    {
        const QString sep = QDir::separator();
        QString path = "/a/b";
        ensureTrailingSeparator(path);
        QCOMPARE(path, "/a/b" + sep);
        ensureTrailingSeparator(path);
        QCOMPARE(path, "/a/b" + sep);
        QString empty;
        ensureTrailingSeparator(empty);
        QCOMPARE(empty, sep);
    }
};

int main(int argc, char** argv)
{
    return runGuilessTestFromPrivateCopy<TestLanguageTable>(argc, argv, {CORE_TEST_HELPER});
}
#include "tst_LanguageTable.moc"
