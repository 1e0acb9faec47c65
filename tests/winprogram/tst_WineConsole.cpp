// The console tool of the real quorbilan.exe under Wine: help, list,
// compaction in the prefix's own %APPDATA% and %LOCALAPPDATA%, exit codes, a
// running browser and a lock held by another Windows process, and the bytes
// that reach a pipe and a file.
#include "CommandLineHelpText.h"
#include "ProductIdentity.h"
#include "ProgramFixture.h"
#include "SqliteFixture.h"
#include "WineProgram.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace TestSupport;

namespace {

const QByteArray productLine = QUORBILAN_PRODUCT_NAME " " QUORBILAN_VERSION_TEXT "\r\n";

// Every line ends in CR LF on Windows.
QByteArray crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

const QByteArray expectedHelp = crlf(commandLineHelpText);

const QByteArray noProfiles
    = "Error: no profiles to optimize, run Quorbilan without arguments to see its command line help\r\n";

// A profile name outside ASCII and outside every ANSI code page.
const QString unicodeName = QStringLiteral("J\u00fcrgen-\u65e5\u672c");
// A portable profile's folder of such a name, below the user's folder.
const QString portableFolder = QStringLiteral("Portable/\u65e5\u672c\u00df");

struct DatabaseState
{
    qint64 size = 0;
    int rows = -1;
};

QMap<QString, DatabaseState> databases(const QString& folder)
{
    QMap<QString, DatabaseState> states;
    QDirIterator it(
        folder,
        {QStringLiteral("*.sqlite"), QStringLiteral("History"), QStringLiteral("Cookies"), QStringLiteral("Web Data")},
        QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        states.insert(path, {QFileInfo(path).size(), rowCount(path)});
    }
    return states;
}

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

// True when every LF is preceded by CR and no CR stands alone.
bool hasOnlyCrLf(const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return false;
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
            return false;
    }
    return true;
}

// A Windows helper of the test build, started in the prefix; it says a word on
// standard output once ready and runs until its standard input ends.
class WindowsHelper
{
public:
    WindowsHelper(const WinePrefix& prefix, const QString& program, const QStringList& arguments,
                  const QByteArray& readyWord)
    {
        m_process.setProcessEnvironment(prefix.environment());
        m_process.start(QStringLiteral("wine"), QStringList{program} + arguments);
        if (!m_process.waitForStarted())
            return;
        QByteArray said;
        while (!said.contains(readyWord) && m_process.waitForReadyRead(60000))
            said += m_process.readAllStandardOutput();
        m_ready = said.contains(readyWord) && m_process.state() == QProcess::Running;
    }
    ~WindowsHelper() { stop(); }

    bool isReady() const { return m_ready; }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(60000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

private:
    QProcess m_process;
    bool m_ready = false;
};

QString helperPath(const QString& name)
{
    return WinePrefix::windowsBuildDir() + QStringLiteral("/tests/windows/helpers/") + name;
}

} // namespace

class TestWineConsole : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void help_data();
    void help();
    void list();
    void compacts_data();
    void compacts();
    void exitCodes_data();
    void exitCodes();
    void runningFirefoxRefusesTheRun();
    void lockedFileEndsTheRun();
    void encodingAndLineEnds_data();
    void encodingAndLineEnds();

private:
    QString firefoxRoot() const { return m_prefix->appData() + QStringLiteral("/Mozilla/Firefox"); }
    QString chromeRoot() const { return m_prefix->localAppData() + QStringLiteral("/Google/Chrome/User Data"); }
    QString firefoxProfile(const QString& folder) const
    {
        return firefoxRoot() + QStringLiteral("/Profiles/") + folder;
    }
    // Firefox: "default-release" and the Unicode-named one; Chrome: "Default" (Alice).
    void buildTree();
    WineRun console(const QStringList& arguments) const { return m_prefix->run(WinePrefix::programPath(), arguments); }

    std::unique_ptr<WinePrefix> m_prefix;
    std::unique_ptr<ProgramFixture> m_fixture;
};

void TestWineConsole::init()
{
    m_prefix = std::make_unique<WinePrefix>();
    QVERIFY2(m_prefix->isValid(), qPrintable(m_prefix->errorString()));
    m_fixture = std::make_unique<ProgramFixture>(m_prefix->path());
}

void TestWineConsole::cleanup()
{
    m_fixture.reset();
    m_prefix.reset();
}

void TestWineConsole::buildTree()
{
    QVERIFY(m_fixture->makeFirefoxProfile(firefoxProfile("abc.default-release")));
    QVERIFY(m_fixture->makeFirefoxProfile(firefoxProfile("uni.code"), 1));
    QVERIFY(
        m_fixture->makeTextFile(firefoxRoot() + "/profiles.ini",
                                "[General]\nStartWithLastProfile=1\n\n"
                                "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/abc.default-release\n\n"
                                "[Profile1]\nName="
                                    + unicodeName.toUtf8() + "\nIsRelative=1\nPath=Profiles/uni.code\n"));
    QVERIFY(m_fixture->makeChromiumProfile(chromeRoot() + "/Default"));
    QVERIFY(m_fixture->writeLocalState(chromeRoot(), {{"Default", "Alice"}}));
}

void TestWineConsole::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("/?") << QStringList{"/?"};
    QTest::newRow("/help before a profile") << QStringList{"/help", "/Firefox:all"};
    QTest::newRow("-h after a profile") << QStringList{"/Firefox:all", "-h"};
}

void TestWineConsole::help()
{
    QFETCH(QStringList, arguments);
    buildTree();
    const auto before = snapshot(firefoxRoot());
    const WineRun run = console(arguments);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.standardOutput, productLine + expectedHelp);
    QCOMPARE(run.standardError, QByteArray());
    QCOMPARE(snapshot(firefoxRoot()), before);
}

void TestWineConsole::list()
{
    buildTree();
    const auto before = snapshot(m_prefix->userProfile());
    const WineRun run = console({"/list"});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.standardError, QByteArray());
    const QString out = QString::fromUtf8(run.standardOutput);
    QVERIFY2(out.startsWith(QString::fromUtf8(productLine) + "\r\n"), qPrintable(out));
    // Each program once, each profile with its count and its Windows path.
    const QStringList expected{
        "\r\nFirefox\r\n",
        "    default-release           2 databases, ",
        "        " + m_prefix->driveCName(firefoxProfile("abc.default-release")) + "\r\n",
        "    " + unicodeName.leftJustified(24) + "  3 databases, ",
        "        " + m_prefix->driveCName(firefoxProfile("uni.code")) + "\r\n",
        "\r\nChrome\r\n",
        "    Default                   3 databases, ",
        "        " + m_prefix->driveCName(chromeRoot() + "/Default") + "\r\n",
    };
    for (const QString& part : expected)
        QVERIFY2(out.contains(part), qPrintable(QStringLiteral("%1 not in:\n%2").arg(part, out)));
    QCOMPARE(snapshot(m_prefix->userProfile()), before);
}

void TestWineConsole::compacts_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("compacted"); // below the user's folder
    QTest::addColumn<QString>("untouched");
    QTest::addColumn<QStringList>("profileLines");
    QTest::newRow("Firefox, %APPDATA%") << QStringList{"/Firefox:all"} << "AppData/Roaming/Mozilla"
                                        << "AppData/Local/Google"
                                        << QStringList{"Optimizing default-release", "Optimizing " + unicodeName};
    QTest::newRow("Chrome, %LOCALAPPDATA%") << QStringList{"/Chrome:Default"} << "AppData/Local/Google"
                                            << "AppData/Roaming/Mozilla" << QStringList{"Optimizing Default (Alice)"};
    QTest::newRow("Chrome by folder name and Firefox by path")
        << QStringList{"/Chrome:Default", "/Firefox:<uni.code>"} << "AppData/Roaming/Mozilla/Firefox/Profiles/uni.code"
        << "AppData/Roaming/Mozilla/Firefox/Profiles/abc.default-release"
        << QStringList{"Optimizing Default (Alice)", "Optimizing " + unicodeName};
    // Names and paths the command line holds beyond the ANSI code page.
    QTest::newRow("Firefox by a name beyond the ANSI code page")
        << QStringList{"/Firefox:" + unicodeName} << "AppData/Roaming/Mozilla/Firefox/Profiles/uni.code"
        << "AppData/Roaming/Mozilla/Firefox/Profiles/abc.default-release" << QStringList{"Optimizing " + unicodeName};
    QTest::newRow("a portable Firefox by a path beyond the ANSI code page")
        << QStringList{"/Firefox:<portable>"} << portableFolder << "AppData/Roaming/Mozilla"
        << QStringList{"Optimizing " + QFileInfo(portableFolder).fileName() + "  [Mozilla]"};
}

void TestWineConsole::compacts()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, compacted);
    QFETCH(QString, untouched);
    QFETCH(QStringList, profileLines);
    buildTree();
    const QString home = m_prefix->userProfile() + "/";
    if (arguments.contains("/Firefox:<portable>"))
        QVERIFY(m_fixture->makeFirefoxProfile(home + compacted));
    // A profile's folder as the program knows it, once the prefix exists.
    arguments.replaceInStrings("<uni.code>", m_prefix->driveCName(firefoxProfile("uni.code")));
    arguments.replaceInStrings("<portable>", m_prefix->driveCName(home + compacted));
    const auto before = databases(home + compacted);
    QVERIFY(!before.isEmpty());
    const auto others = untouched.isEmpty() ? QMap<QString, QByteArray>() : snapshot(home + untouched);

    const WineRun run = console(arguments);
    QVERIFY(run.finished);
    const QString out = QString::fromUtf8(run.standardOutput);
    QVERIFY2(run.exitCode == 0, qPrintable(out + QString::fromUtf8(run.standardError)));
    QCOMPARE(run.standardError, QByteArray());
    QVERIFY2(out.startsWith("Starting optimization\r\n"), qPrintable(out));
    for (const QString& line : profileLines)
        QVERIFY2(out.contains("\r\n" + line + "\r\n"), qPrintable(line + " not in:\n" + out));
    QVERIFY2(out.contains("\r\nTotal: optimized "), qPrintable(out));

    const auto after = databases(home + compacted);
    QCOMPARE(after.keys(), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const DatabaseState now = after.value(it.key());
        QVERIFY2(now.size < it->size,
                 qPrintable(QStringLiteral("%1: %2 -> %3").arg(it.key()).arg(it->size).arg(now.size)));
        QCOMPARE(now.rows, it->rows);
        QCOMPARE(integrityCheck(it.key()), QStringLiteral("ok"));
    }
    if (!untouched.isEmpty())
        QCOMPARE(snapshot(home + untouched), others);
}

void TestWineConsole::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("compacts");
    QTest::addColumn<QByteArray>("errors");
    QTest::newRow("help") << QStringList{"/?"} << 0 << false << QByteArray();
    QTest::newRow("list beside a profile") << QStringList{"/list", "/Firefox:all"} << 0 << false << QByteArray();
    QTest::newRow("compaction") << QStringList{"/Firefox:default-release"} << 0 << true << QByteArray();
    QTest::newRow("a bad argument beside a good one") << QStringList{"/Netscape:all", "/Firefox:default-release"} << 0
                                                      << true << QByteArray("Error: unknown program name Netscape\r\n");
    QTest::newRow("no profile at all") << QStringList{"/Netscape:all", "/Firefox:nobody"} << 5 << false
                                       << QByteArray("Error: unknown program name Netscape\r\n"
                                                     "Error: no profile nobody found for Firefox\r\n")
            + noProfiles;
    QTest::newRow("help option in other letters") << QStringList{"/LIST"} << 5 << false << QByteArray();
}

void TestWineConsole::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(bool, compacts);
    QFETCH(QByteArray, errors);
    buildTree();
    const QString cookies = firefoxProfile("abc.default-release") + "/cookies.sqlite";
    const qint64 size = QFileInfo(cookies).size();

    const WineRun run = console(arguments);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 5) {
        QVERIFY2(run.standardError.endsWith(errors.isEmpty() ? noProfiles : errors), run.standardError.constData());
        QCOMPARE(run.standardOutput, QByteArray());
    } else if (!errors.isEmpty()) {
        QCOMPARE(run.standardError, errors);
    }
    QCOMPARE(QFileInfo(cookies).size() < size, compacts);
}

void TestWineConsole::runningFirefoxRefusesTheRun()
{
    buildTree();
    const auto before = snapshot(m_prefix->userProfile());
    WindowsHelper firefox(*m_prefix, helperPath("firefox.exe"), {}, "running");
    QVERIFY2(firefox.isReady(), qPrintable(firefox.errors()));

    const WineRun run = console({"/Chrome:all", "/Firefox:all"});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.standardError, QByteArray("Error: Firefox still running, please close it first\r\n"));
    QCOMPARE(run.standardOutput, QByteArray());
    QCOMPARE(snapshot(m_prefix->userProfile()), before);

    // The list marks it, and once it has ended the run goes ahead.
    QVERIFY(QString::fromUtf8(console({"/list"}).standardOutput).contains("\r\nFirefox  (running)\r\n"));
    firefox.stop();
    QCOMPARE(console({"/Firefox:all"}).exitCode, 0);
}

void TestWineConsole::lockedFileEndsTheRun()
{
    buildTree();
    const QString folder = firefoxProfile("abc.default-release");
    const QString cookies = folder + "/cookies.sqlite";
    const auto before = snapshot(m_prefix->userProfile());
    WindowsHelper lock(*m_prefix, helperPath("sqlite_lock_holder.exe"), {WinePrefix::windowsPath(cookies)}, "holding");
    QVERIFY2(lock.isReady(), qPrintable(lock.errors()));

    const WineRun run = console({"/Firefox:all", "/Chrome:all"});
    lock.stop();
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(run.standardOutput),
             "Starting optimization\r\nOptimizing default-release\r\nPath: " + m_prefix->driveCName(folder)
                 + "\r\ncookies.sqlite...\r\nError: the file is locked, Firefox seems to be still running\r\n"
                   "Operation not completed\r\n");
    QCOMPARE(snapshot(m_prefix->userProfile()), before);
}

void TestWineConsole::encodingAndLineEnds_data()
{
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<bool>("standardError");
    QTest::newRow("standard output to a pipe") << false << false;
    QTest::newRow("standard output to a file") << true << false;
    QTest::newRow("standard error to a pipe") << false << true;
    QTest::newRow("standard error to a file") << true << true;
}

void TestWineConsole::encodingAndLineEnds()
{
    QFETCH(bool, toFile);
    QFETCH(bool, standardError);
    buildTree();
    // /list prints the Unicode profile name; an unknown profile of that name
    // is an error naming it, beside a good argument so that the run goes on.
    const QStringList arguments
        = standardError ? QStringList{"/Firefox:" + unicodeName + "\u00df", "/Chrome:Default"} : QStringList{"/list"};
    const QByteArray name = (standardError ? unicodeName + "\u00df" : unicodeName).toUtf8();

    QTemporaryDir outputDir;
    QVERIFY(outputDir.isValid());
    const QString outputFile = outputDir.filePath("output.txt");
    QProcess process;
    process.setProcessEnvironment(m_prefix->environment());
    process.setStandardInputFile(QProcess::nullDevice());
    if (toFile) {
        if (standardError)
            process.setStandardErrorFile(outputFile);
        else
            process.setStandardOutputFile(outputFile);
    }
    process.start("wine", QStringList{WinePrefix::programPath()} + arguments);
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QByteArray bytes = standardError ? process.readAllStandardError() : process.readAllStandardOutput();
    if (toFile) {
        QCOMPARE(bytes, QByteArray());
        QFile file(outputFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    }
    // UTF-8 without a byte-order mark, every line ending in CR LF.
    QVERIFY2(bytes.contains(QStringLiteral("J\u00fcrgen-").toUtf8()), bytes.constData());
    QVERIFY2(bytes.contains(name), bytes.constData());
    QVERIFY(!bytes.startsWith("\xef\xbb\xbf"));
    QCOMPARE(QString::fromUtf8(bytes).toUtf8(), bytes);
    QVERIFY2(hasOnlyCrLf(bytes), bytes.toHex(' ').constData());
    QVERIFY(bytes.endsWith("\r\n"));
    if (!standardError)
        QVERIFY(bytes.startsWith(productLine + "\r\n"));
}

QTEST_GUILESS_MAIN(TestWineConsole)
#include "tst_WineConsole.moc"
