#include "CommandLineHelpText.h"
#include "ConsoleRun.h"
#include "DatabaseFiles.h"
#include "FakeProgram.h"
#include "ProductIdentity.h"
#include "ProgramFixture.h"
#include "SqliteFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// The line every run's output starts with.
const QString productLine = QStringLiteral(QUORBILAN_PRODUCT_NAME " " QUORBILAN_VERSION_TEXT "\n");

const QString noProfiles
    = QStringLiteral("Error: no profiles to optimize, run Quorbilan without arguments to see its command line help\n");

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// Hashes of every file below a folder, to prove a run changed nothing.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> hashes;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        hashes.insert(path, fileHash(path));
    }
    return hashes;
}

qint64 sizeOf(const QStringList& files)
{
    qint64 total = 0;
    for (const QString& file : files)
        total += QFileInfo(file).size();
    return total;
}

} // namespace

class TestConsoleTool : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void help_data();
    void help();
    void listLayout();
    void listOnAnEmptyComputer();
    void compactsNamedProfiles_data();
    void compactsNamedProfiles();
    void folderArguments();
    void argumentErrors_data();
    void argumentErrors();
    void runningProgramStopsEverything();
    void lockedFileEndsTheRun();
    void corruptFileIsAWarning();
    void nonAsciiNamesAreUtf8();
    void closedPipeDoesNotKill();
    void consoleRunDoesNotServeSecondStarts();
    void namesCannotForgeLines_data();
    void namesCannotForgeLines();
    void unreadableFolderIsSaidSo_data();
    void toolkitOptionsBesideConsoleArguments();
    void undecodableNameIsNamedWithItsFolder();
    void settingsThatAreNoFileAreLeftAlone_data();
    void settingsThatAreNoFileAreLeftAlone();
    void unreadableFolderIsSaidSo();

private:
    // Firefox: "default-release" and "work"; Chrome: "Default" (Alice) and "Profile 1".
    void buildTree();
    QString firefoxProfile(const QString& folder) const;
    QString chromeProfile(const QString& folder) const;
    QString settingsFile() const;
    // The exact log of a successful run over these profiles (without the final
    // timing line), sizes taken now and after.
    struct ProfileRun
    {
        QString displayName;
        QString path;
        QStringList files;
        qint64 before = 0;
    };
    ProfileRun profileRun(const QString& displayName, const QString& path) const;
    static QStringList expectedLog(const QList<ProfileRun>& runs);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_bin; // fake browser executables, outside the tree
    std::unique_ptr<ProgramFixture> m_fixture;
    QProcessEnvironment m_env;
};

void TestConsoleTool::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_bin = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_fixture = std::make_unique<ProgramFixture>(m_dir->path());
    m_env = consoleEnvironment(m_dir->path());
    QDir().mkpath(m_fixture->appData());
    QDir().mkpath(m_fixture->localAppData());
}

QString TestConsoleTool::firefoxProfile(const QString& folder) const
{
    return m_fixture->appData() + "/Mozilla/Firefox/Profiles/" + folder;
}

QString TestConsoleTool::chromeProfile(const QString& folder) const
{
    return m_fixture->localAppData() + "/Google/Chrome/User Data/" + folder;
}

QString TestConsoleTool::settingsFile() const
{
    return m_env.value("XDG_CONFIG_HOME") + "/Tulverhaven Software/Quorbilan.conf";
}

void TestConsoleTool::buildTree()
{
    QVERIFY(m_fixture->makeFirefoxProfile(firefoxProfile("abc.default-release")));
    QVERIFY(m_fixture->makeFirefoxProfile(firefoxProfile("xyz.work"), 1));
    QVERIFY(
        m_fixture->makeTextFile(m_fixture->appData() + "/Mozilla/Firefox/profiles.ini",
                                "[General]\nStartWithLastProfile=1\n\n"
                                "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/abc.default-release\n\n"
                                "[Profile1]\nName=work\nIsRelative=1\nPath=Profiles/xyz.work\n"));
    QVERIFY(m_fixture->makeChromiumProfile(chromeProfile("Default")));
    QVERIFY(m_fixture->makeChromiumProfile(chromeProfile("Profile 1")));
    QVERIFY(m_fixture->writeLocalState(m_fixture->localAppData() + "/Google/Chrome/User Data",
                                       {{"Default", "Alice"}, {"Profile 1", "Profile 1"}}));
}

TestConsoleTool::ProfileRun TestConsoleTool::profileRun(const QString& displayName, const QString& path) const
{
    ProfileRun run;
    run.displayName = displayName;
    run.path = path;
    run.files = listSqliteDatabases(path, false);
    run.before = sizeOf(run.files);
    return run;
}

QStringList TestConsoleTool::expectedLog(const QList<ProfileRun>& runs)
{
    QStringList lines{"Starting optimization"};
    qint64 before = 0;
    qint64 after = 0;
    int files = 0;
    for (const ProfileRun& run : runs) {
        lines << "Optimizing " + run.displayName << "Path: " + QDir::toNativeSeparators(run.path);
        for (const QString& file : run.files)
            lines << QFileInfo(file).fileName() + "...";
        const qint64 now = sizeOf(run.files);
        if (runs.size() > 1)
            lines << QStringLiteral("Optimized %1 files, new size: %2 (was %3)")
                         .arg(run.files.size())
                         .arg(sizeText(now), sizeText(run.before));
        before += run.before;
        after += now;
        files += run.files.size();
    }
    lines << QStringLiteral("Total: optimized %1 files, new size: %2 (was %3)")
                 .arg(files)
                 .arg(sizeText(after), sizeText(before));
    return lines;
}

void TestConsoleTool::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("/?") << QStringList{"/?"};
    QTest::newRow("-h") << QStringList{"-h"};
    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("/help") << QStringList{"/help"};
    QTest::newRow("help before a profile") << QStringList{"/help", "/Firefox:all"};
    QTest::newRow("help after a profile") << QStringList{"/Firefox:all", "-h"};
    QTest::newRow("help beside -psn") << QStringList{"-psn_0_1234", "/?"};
}

void TestConsoleTool::help()
{
    QFETCH(QStringList, arguments);
    buildTree();
    runProgram({"/list"}, m_env); // the first start writes the settings defaults
    const auto before = snapshot(m_dir->path());

    const ConsoleRun run = runProgram(arguments, m_env);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, productLine.toUtf8() + commandLineHelpText);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(snapshot(m_dir->path()), before);
}

void TestConsoleTool::listLayout()
{
    buildTree();
    const QString longName = QStringLiteral("a-profile-name-of-30-letters!!");
    QVERIFY(m_fixture->makeFirefoxProfile(firefoxProfile("long")));
    QFile ini(m_fixture->appData() + "/Mozilla/Firefox/profiles.ini");
    QVERIFY(ini.open(QIODevice::Append));
    ini.write(("\n[Profile2]\nName=" + longName + "\nIsRelative=1\nPath=Profiles/long\n").toUtf8());
    // A name that looks like a placeholder is printed as it is.
    const QString percentName = QStringLiteral("50%2 off %1");
    QVERIFY(m_fixture->makeFirefoxProfile(firefoxProfile("percent")));
    ini.write(("\n[Profile3]\nName=" + percentName + "\nIsRelative=1\nPath=Profiles/percent\n").toUtf8());
    ini.close();
    runProgram({"/list"}, m_env);
    const auto before = snapshot(m_dir->path());

    FakeProgram chrome(m_bin->path(), "chrome");
    const ConsoleRun run = runProgram({"/list"}, m_env);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errText(), QString());

    const auto entry = [](const QString& name, const QString& path) {
        const QStringList files = listSqliteDatabases(path, false);
        return "    " + name.leftJustified(24)
            + QStringLiteral("%1 databases, %2\n        %3\n")
                  .arg(files.size(), 3)
                  .arg(sizeText(sizeOf(files)), QDir::toNativeSeparators(path));
    };
    const QString expected = productLine + "\nFirefox\n"
        + entry("default-release", firefoxProfile("abc.default-release")) + entry("work", firefoxProfile("xyz.work"))
        + entry(longName, firefoxProfile("long")) + entry(percentName, firefoxProfile("percent"))
        + "\nChrome  (running)\n" + entry("Default", chromeProfile("Default"))
        + entry("Profile 1", chromeProfile("Profile 1")) + "\n";
    QCOMPARE(run.outText(), expected);
    QVERIFY(expected.contains("    default-release           2 databases, "));
    QVERIFY(expected.contains("    a-profile-name-of-30-letters!!  2 databases, "));
    QVERIFY(expected.contains("    50%2 off %1               2 databases, "));
    QCOMPARE(snapshot(m_dir->path()), before);
}

void TestConsoleTool::listOnAnEmptyComputer()
{
    const ConsoleRun run = runProgram({"-list"}, m_env);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.outText(), productLine + "\nNo supported programs found on this computer.\n");

    // Without the data-folder variables nothing is found either, and nothing breaks.
    QProcessEnvironment bare = m_env;
    bare.remove("APPDATA");
    bare.remove("LOCALAPPDATA");
    const ConsoleRun again = runProgram({"--list"}, bare);
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(again.outText(), run.outText());
}

void TestConsoleTool::compactsNamedProfiles_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("profiles"); // "firefox:<folder>" or "chrome:<folder>", in run order
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("one Firefox profile") << QStringList{"/Firefox:default-release"}
                                         << QStringList{"firefox:abc.default-release"}
                                         << QStringList{"default-release"};
    QTest::newRow("all of Firefox") << QStringList{"/Firefox:all"}
                                    << QStringList{"firefox:abc.default-release", "firefox:xyz.work"}
                                    << QStringList{"default-release", "work"};
    QTest::newRow("program and keyword in other case")
        << QStringList{"-chrome:ALL"} << QStringList{"chrome:Default", "chrome:Profile 1"}
        << QStringList{"Default (Alice)", "Profile 1"};
    QTest::newRow("duplicates run once") << QStringList{"/Firefox:all", "/firefox:WORK", "/Chrome:default",
                                                        "/Firefox:all"}
                                         << QStringList{"firefox:abc.default-release", "firefox:xyz.work",
                                                        "chrome:Default"}
                                         << QStringList{"default-release", "work", "Default (Alice)"};
}

void TestConsoleTool::compactsNamedProfiles()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, profiles);
    QFETCH(QStringList, titles);
    buildTree();
    runProgram({"/list"}, m_env);
    const QByteArray settingsBefore = fileHash(settingsFile());
    QVERIFY(!settingsBefore.isEmpty());

    QList<ProfileRun> runs;
    for (int i = 0; i < profiles.size(); ++i) {
        const QString folder = profiles[i].section(':', 1);
        const QString path = profiles[i].startsWith("firefox") ? firefoxProfile(folder) : chromeProfile(folder);
        runs << profileRun(titles[i], path);
    }

    const ConsoleRun run = runProgram(arguments, m_env);
    QCOMPARE(run.errText(), QString());
    QCOMPARE(run.exitCode, 0);
    QStringList lines = run.outText().split('\n');
    QCOMPARE(lines.takeLast(), QString()); // the output ends with a line break
    QVERIFY2(QRegularExpression("^Completed in \\d+\\.\\d\\d seconds$").match(lines.takeLast()).hasMatch(),
             qPrintable(run.outText()));
    QCOMPARE(lines, expectedLog(runs));

    for (const ProfileRun& profile : runs) {
        QVERIFY(sizeOf(profile.files) < profile.before);
        for (const QString& file : profile.files)
            QCOMPARE(integrityCheck(file), QStringLiteral("ok"));
    }
    QCOMPARE(fileHash(settingsFile()), settingsBefore);
}

void TestConsoleTool::folderArguments()
{
    buildTree();
    // A known profile's folder is that profile, whichever program the argument names.
    const ProfileRun known = profileRun("Default (Alice)", chromeProfile("Default"));
    ConsoleRun run = runProgram({"/Firefox:" + chromeProfile("Default") + "/"}, m_env);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.outText().startsWith("Starting optimization\nOptimizing Default (Alice)\n"),
             qPrintable(run.outText()));
    QVERIFY(sizeOf(known.files) < known.before);

    // A new folder with databases becomes a custom profile for this run only.
    const QString portable = m_dir->path() + "/Portable/Data/profile";
    QVERIFY(m_fixture->makeFirefoxProfile(portable));
    const ProfileRun custom = profileRun("profile  [Mozilla]", portable);
    runProgram({"/list"}, m_env);
    const QByteArray settingsBefore = fileHash(settingsFile());
    run = runProgram({"/Firefox:" + portable + "/"}, m_env);
    QCOMPARE(run.exitCode, 0);
    QStringList lines = run.outText().split('\n');
    lines.removeLast();
    lines.removeLast();
    QCOMPARE(lines, expectedLog({custom}));
    QCOMPARE(fileHash(settingsFile()), settingsBefore);

    // A relative folder resolves against the current folder.
    run = runProgram({"/Chrome:Portable/Data/profile"}, m_env, m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.outText().contains("Optimizing profile  [Mozilla]\n"));

    // A folder without databases is refused.
    const QString empty = m_dir->path() + "/Empty Folder";
    QVERIFY(QDir().mkpath(empty));
    run = runProgram({"/Firefox:" + empty}, m_env);
    QCOMPARE(run.exitCode, 5);
    QCOMPARE(run.errText(),
             "Error: no SQLite databases found in " + QDir::toNativeSeparators(empty) + "\n" + noProfiles);
    QCOMPARE(run.out, QByteArray());
}

void TestConsoleTool::argumentErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("errors");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no colon") << QStringList{"/Chrome"}
                              << "Error: invalid command line syntax near /Chrome\n" + noProfiles << 5;
    QTest::newRow("no program") << QStringList{"/:Default"}
                                << "Error: invalid command line syntax near /:Default\n" + noProfiles << 5;
    QTest::newRow("no leading character")
        << QStringList{"chrome:Default"} << "Error: invalid command line syntax near chrome:Default\n" + noProfiles
        << 5;
    QTest::newRow("option in other case")
        << QStringList{"/LIST"} << "Error: invalid command line syntax near /LIST\n" + noProfiles << 5;
    QTest::newRow("unknown program") << QStringList{"/Foo:Default"} << "Error: unknown program name Foo\n" + noProfiles
                                     << 5;
    QTest::newRow("unknown profile") << QStringList{"/firefox:nobody"}
                                     << "Error: no profile nobody found for Firefox\n" + noProfiles << 5;
    QTest::newRow("program without profiles")
        << QStringList{"-EDGE:ALL"} << "Error: no profile ALL found for Edge\n" + noProfiles << 5;
    QTest::newRow("error, then a good argument")
        << QStringList{"/Foo:Default", "/Firefox:work"} << "Error: unknown program name Foo\n"
        << 0;
}

void TestConsoleTool::argumentErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, errors);
    QFETCH(int, exitCode);
    buildTree();
    const ConsoleRun run = runProgram(arguments, m_env);
    QCOMPARE(run.errText(), errors);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 0)
        QVERIFY(run.outText().contains("Optimizing work\n"));
    else
        QCOMPARE(run.out, QByteArray());
}

void TestConsoleTool::runningProgramStopsEverything()
{
    buildTree();
    runProgram({"/list"}, m_env);
    const auto before = snapshot(m_dir->path());
    FakeProgram firefox(m_bin->path(), "firefox");
    FakeProgram again(m_bin->path() + "/second", "firefox"); // two processes, one program

    const ConsoleRun run = runProgram({"/Chrome:all", "/Firefox:all"}, m_env);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errText(), QStringLiteral("Error: Firefox still running, please close it first\n"));
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(snapshot(m_dir->path()), before);

    FakeProgram chrome(m_bin->path(), "chrome");
    const ConsoleRun both = runProgram({"/Chrome:all", "/Firefox:all"}, m_env);
    QCOMPARE(both.exitCode, 1);
    QVERIFY2(both.errText() == "Error: Firefox, Chrome still running, please close it first\n"
                 || both.errText() == "Error: Chrome, Firefox still running, please close it first\n",
             qPrintable(both.errText()));
}

void TestConsoleTool::lockedFileEndsTheRun()
{
    buildTree();
    const QString cookies = firefoxProfile("abc.default-release") + "/cookies.sqlite";
    runProgram({"/list"}, m_env);
    const auto before = snapshot(m_dir->path());
    LockHolder lock(cookies);
    QVERIFY(lock.isHolding());

    const ConsoleRun run = runProgram({"/Firefox:all", "/Chrome:all"}, m_env);
    lock.release();
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.outText(),
             "Starting optimization\nOptimizing default-release\nPath: "
                 + QDir::toNativeSeparators(firefoxProfile("abc.default-release"))
                 + "\ncookies.sqlite...\nError: the file is locked, Firefox seems to be still running\n"
                   "Operation not completed\n");
    QCOMPARE(snapshot(m_dir->path()), before);
}

void TestConsoleTool::corruptFileIsAWarning()
{
    buildTree();
    const QString folder = firefoxProfile("xyz.work");
    QByteArray garbage("SQLite format 3", 16);
    garbage += QByteArray(8192, '\x33');
    QVERIFY(writeFile(folder + "/broken.sqlite", garbage));

    const ConsoleRun run = runProgram({"/Firefox:work"}, m_env);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.outText().contains("broken.sqlite...\nWarning: the file is encrypted or not a valid database\n"
                                    "cookies.sqlite...\n"),
             qPrintable(run.outText()));
    QVERIFY(run.outText().contains("Total: optimized 4 files"));
}

void TestConsoleTool::nonAsciiNamesAreUtf8()
{
    const QString folder = firefoxProfile("p\u00e4th.\u65e5\u672c");
    QVERIFY(m_fixture->makeFirefoxProfile(folder));
    QVERIFY(m_fixture->makeTextFile(m_fixture->appData() + "/Mozilla/Firefox/profiles.ini",
                                    QStringLiteral("[Profile0]\nName=G\u00f6teborg \u2013 \u65e5\u672c\nIsRelative=1\n"
                                                   "Path=Profiles/p\u00e4th.\u65e5\u672c\n")
                                        .toUtf8()));
    const ConsoleRun list = runProgram({"/list"}, m_env);
    QCOMPARE(list.exitCode, 0);
    QVERIFY(list.outText().contains(QStringLiteral("    G\u00f6teborg \u2013 \u65e5\u672c")));
    QVERIFY(list.outText().contains(QDir::toNativeSeparators(folder)));
    QCOMPARE(QString::fromUtf8(list.out).toUtf8(), list.out); // valid UTF-8 survives a round trip

    const ConsoleRun run = runProgram({QStringLiteral("/Firefox:g\u00d6teborg \u2013 \u65e5\u672c")}, m_env);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.outText().contains(QStringLiteral("Optimizing G\u00f6teborg \u2013 \u65e5\u672c\n")));
}

void TestConsoleTool::closedPipeDoesNotKill()
{
    buildTree();
    // `true` leaves at once, so the program writes into a pipe nobody reads.
    QProcess shell;
    shell.setProcessEnvironment(m_env);
    shell.start("bash",
                {"-c",
                 "\"$0\" /list | true; a=${PIPESTATUS[0]}; \"$0\" /Firefox:all | head -c 1 >/dev/null;"
                 " echo $a ${PIPESTATUS[0]}",
                 programPath()});
    QVERIFY(shell.waitForFinished(120000));
    // The programs' own error stream tells why, should one of them fail.
    QVERIFY2(shell.readAllStandardOutput().trimmed() == QByteArray("0 0"), shell.readAllStandardError().constData());
}

void TestConsoleTool::consoleRunDoesNotServeSecondStarts()
{
    const QString folder = firefoxProfile("big.default");
    QDir().mkpath(folder);
    QVERIFY(createBloatedDatabase(folder + "/places.sqlite", 60000, 1000, 30000));
    QVERIFY(m_fixture->makeTextFile(m_fixture->appData() + "/Mozilla/Firefox/profiles.ini",
                                    "[Profile0]\nName=big\nIsRelative=1\nPath=Profiles/big.default\n"));
    QProcess console;
    console.setProcessEnvironment(m_env);
    console.start(programPath(), {"/Firefox:big"});
    QVERIFY(console.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += console.readAllStandardOutput()).contains("places.sqlite..."), 30000);

    QLocalSocket probe;
    // Without a runtime folder, the program's own folder in the temp folder.
    probe.connectToServer(QString("%1/quorbilan_single_instance-%2/quorbilan_single_instance")
                              .arg(m_env.value("TMPDIR"))
                              .arg(::geteuid()));
    const bool answered = probe.waitForConnected(500);
    QVERIFY(console.waitForFinished(120000));
    QCOMPARE(console.exitCode(), 0);
    QVERIFY2(!answered, "a console run answered as if it were a running window");
}

void TestConsoleTool::namesCannotForgeLines_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    QTest::newRow("line feed") << "\n" << QStringLiteral("\u240A");
    QTest::newRow("carriage return") << "\r" << QStringLiteral("\u240D");
    QTest::newRow("escape sequence") << "\x1b[2J" << QStringLiteral("\u241B[2J");
    QTest::newRow("bell") << "\a" << QStringLiteral("\u2407");
    QTest::newRow("delete") << "\x7f" << QStringLiteral("\u2421");
    QTest::newRow("C1 control sequence introducer") << QStringLiteral("\u009B") << QStringLiteral("\uFFFD");
    QTest::newRow("right-to-left override") << QStringLiteral("\u202E") << QStringLiteral("\uFFFD");
    QTest::newRow("line separator") << QStringLiteral("\u2028") << QStringLiteral("\uFFFD");
}

void TestConsoleTool::namesCannotForgeLines()
{
    QFETCH(QString, control);
    QFETCH(QString, shown);
    // A folder name and a user name made to look like a line of their own.
    const QString forged = "Error: the file is locked, Chrome seems to be still running";
    const QString folder = "P" + control + forged;
    QVERIFY(m_fixture->makeChromiumProfile(chromeProfile(folder)));
    QVERIFY(m_fixture->writeLocalState(chromeProfile(QString()), {{folder, "U" + control + forged}}));

    const ConsoleRun list = runProgram({"/list"}, m_env);
    const ConsoleRun run = runProgram({"/Chrome:all"}, m_env);
    QCOMPARE(list.exitCode, 0);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(list.outText().contains("    P" + shown + forged), list.out.constData());
    QVERIFY2(run.outText().contains("Optimizing P" + shown + forged + " (U" + shown + forged + ")\n"),
             run.out.constData());
    for (const QString& text : {list.outText(), run.outText()}) {
        for (const QString& line : text.split('\n')) {
            QVERIFY2(!line.startsWith("Error"), qPrintable(line));
            for (const QChar c : line) {
                const char16_t u = c.unicode();
                const bool isControl = u < 0x20 || (u >= 0x7f && u <= 0x9f) || (u >= 0x202a && u <= 0x202e)
                    || u == 0x2028 || u == 0x2029;
                QVERIFY2(!isControl, qPrintable(QString("U+%1 in: %2").arg(int(u), 4, 16, QChar('0')).arg(line)));
            }
        }
    }
}

void TestConsoleTool::unreadableFolderIsSaidSo_data()
{
    QTest::addColumn<QString>("argument"); // "<folder>" stands for the folder
    QTest::addColumn<QString>("expected"); // the line after "Path: ", or the error
    QTest::addColumn<int>("exitCode");
    QTest::newRow("a profile of the program's list") << "/Firefox:all"
                                                     << "Error: the folder cannot be read: Permission denied" << 0;
    QTest::newRow("a folder argument") << "/Firefox:<folder>"
                                       << "Error: the folder <folder> cannot be read: Permission denied" << 5;
    QTest::newRow("the list") << "/list"
                              << "        Error: the folder cannot be read: Permission denied" << 0;
}

void TestConsoleTool::unreadableFolderIsSaidSo()
{
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    QFETCH(int, exitCode);
    // Root reads every folder: the run is made as nobody.
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (::geteuid() != 0 || setpriv.isEmpty())
        QSKIP("needs root and setpriv to run the program as the user nobody");
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_dir->path(), open));
    QVERIFY(QFile::setPermissions(m_dir->filePath("home"), open | QFile::WriteOther));
    const QString folder = firefoxProfile("closed");
    QVERIFY(m_fixture->makeFirefoxProfile(folder));
    QVERIFY(m_fixture->makeTextFile(m_fixture->appData() + "/Mozilla/Firefox/profiles.ini",
                                    "[Profile0]\nName=closed\nIsRelative=1\nPath=Profiles/closed\n"));
    for (QString path = m_fixture->appData(); path.size() > m_dir->path().size(); path = QFileInfo(path).path())
        QVERIFY(QFile::setPermissions(path, open));
    // A folder of no program's list, for the argument.
    const QString loose = m_dir->filePath("loose");
    QVERIFY(QDir().mkpath(loose));
    QVERIFY(createBloatedDatabase(loose + "/places.sqlite", 50, 200, 10));
    for (const QString& closed : {folder, loose})
        QVERIFY(QFile::setPermissions(closed, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    argument.replace("<folder>", loose);
    expected.replace("<folder>", loose);

    QProcess program;
    program.setProcessEnvironment(m_env);
    program.start(setpriv, {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", programPath(), argument});
    QVERIFY(program.waitForFinished(60000));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitCode(), exitCode);
    QVERIFY(!(out + err).contains("No databases found") && !(out + err).contains("no SQLite databases found"));
    if (exitCode != 0) {
        QVERIFY2(err.startsWith(expected + "\n"), qPrintable(err));
        return;
    }
    const QStringList lines = out.split('\n');
    const bool list = argument == "/list";
    const qsizetype path = lines.indexOf((list ? "        " : "Path: ") + folder);
    QVERIFY2(path > 0, qPrintable(out + err));
    QCOMPARE(lines.value(path + 1), expected);
    if (!list)
        QCOMPARE(lines.value(path + 2),
                 "Total: optimized 0 files, new size: " + sizeText(0) + " (was " + sizeText(0) + ")");
}

void TestConsoleTool::settingsThatAreNoFileAreLeftAlone_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("asLink");
    QTest::newRow("settings file is a fifo") << "Tulverhaven Software/Quorbilan.conf" << false;
    QTest::newRow("settings file links to a fifo") << "Tulverhaven Software/Quorbilan.conf" << true;
    QTest::newRow("organization file is a fifo") << "Tulverhaven Software.conf" << false;
}

void TestConsoleTool::settingsThatAreNoFileAreLeftAlone()
{
    QFETCH(QString, file);
    QFETCH(bool, asLink);
    buildTree();
    const QString path = m_env.value("XDG_CONFIG_HOME") + "/" + file;
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    const QString fifo = asLink ? m_dir->filePath("fifo") : path;
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    if (asLink)
        QVERIFY(QFile::link(fifo, path));

    // Opening the FIFO to read would wait for a writer for ever.
    QProcess program;
    program.setProcessEnvironment(m_env);
    program.start(programPath(), {"/list"});
    const bool ended = program.waitForFinished(20000);
    if (!ended) {
        program.kill();
        program.waitForFinished();
    }
    QVERIFY2(ended, "the program blocked on its settings");
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(program.readAllStandardOutput().contains("default-release"));
    // Left as it was.
    QVERIFY(!QFileInfo(fifo).isFile());
}

void TestConsoleTool::toolkitOptionsBesideConsoleArguments()
{
    // The toolkit takes its own options; the rest is the console tool's.
    buildTree();
    const ConsoleRun plain = runProgram({"/list"}, m_env);
    QCOMPARE(plain.exitCode, 0);
    for (const QStringList& arguments : {QStringList{"-reverse", "/list"}, QStringList{"-style", "fusion", "/list"},
                                         QStringList{"/list", "-session", "abc", "--widgetcount"}}) {
        const ConsoleRun run = runProgram(arguments, m_env);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, plain.out);
    }
}

void TestConsoleTool::undecodableNameIsNamedWithItsFolder()
{
    buildTree();
    const QString folder = firefoxProfile("abc.default-release");
    // A name with a byte that is not UTF-8, as another system may leave it.
    QVERIFY(createBloatedDatabase(folder + "/odd.tmp", 50, 200, 10));
    const QByteArray badName = QFile::encodeName(folder) + "/odd\xff.sqlite";
    QCOMPARE(::rename(QFile::encodeName(folder + "/odd.tmp").constData(), badName.constData()), 0);
    const QString warning
        = "Warning: a file name in " + folder + " is not valid in the system's encoding, the file is skipped";

    const QStringList list = runProgram({"/list"}, m_env).outText().split('\n');
    const qsizetype path = list.indexOf("        " + folder);
    QVERIFY2(path > 0, qPrintable(list.join('\n')));
    QCOMPARE(list.value(path + 1), "        " + warning);
    const ConsoleRun run = runProgram({"/Firefox:default-release"}, m_env);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.outText().split('\n').contains(warning), run.out.constData());
}

QTEST_GUILESS_MAIN(TestConsoleTool)
#include "tst_ConsoleTool.moc"
