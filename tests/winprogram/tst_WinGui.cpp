// The Windows program's window under Wine: it opens and stays up while the
// update check it runs at start comes and goes (a check ended on a worker
// thread used to crash the program as that thread ended), a second start hands
// over to it and exits 0, and closing it keeps the window's state and the
// profiles' ticks in the registry.
#include "ProgramFixture.h"
#include "WineDesktop.h"
#include "WineProgram.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString mainTitle = WineDesktop::mainWindowTitle();

} // namespace

class TestWinGui : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void staysUpAcrossStartsWithAnUpdateCheckDue();
    void secondStartHandsOverAndClosingKeepsTheWindowState();
    void ticksComeFromTheRegistryAndGoBackOnClose();

private:
    void startProgram(QProcess& program, const WinePrefix& prefix, const QString& cwd);
    void closeByMenu(QProcess& program);
};

void TestWinGui::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (ctest runs this under xvfb-run)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool (scripts/setup.sh installs it)");
}

void TestWinGui::startProgram(QProcess& program, const WinePrefix& prefix, const QString& cwd)
{
    WineDesktop::start(program, prefix, WinePrefix::programPath(), cwd,
                       {QStringLiteral("QUORBILAN_UPDATE_URL=") + WineDesktop::refusedFeedUrl()});
    QVERIFY(program.waitForStarted(60000));
    QTRY_VERIFY_WITH_TIMEOUT(WineDesktop::windows(mainTitle).size() == 1 || program.state() == QProcess::NotRunning,
                             120000);
    QCOMPARE(WineDesktop::windows(mainTitle).size(), 1);
}

// File > Exit: the orderly way out, which saves the window's state.
void TestWinGui::closeByMenu(QProcess& program)
{
    const QStringList windows = WineDesktop::windows(mainTitle);
    QCOMPARE(windows.size(), 1);
    WineDesktop::keys(windows.first(), {QStringLiteral("alt+f"), QStringLiteral("x")});
    QVERIFY(program.waitForFinished(120000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void TestWinGui::staysUpAcrossStartsWithAnUpdateCheckDue()
{
    for (int start = 1; start <= 10; ++start) {
        // A fresh prefix each time: no next check stored, so the silent check
        // runs a second after the window opens.
        WinePrefix prefix;
        QVERIFY2(prefix.isValid(), qPrintable(prefix.errorString()));
        QTemporaryDir cwd;
        QVERIFY(cwd.isValid());
        QProcess program;
        startProgram(program, prefix, cwd.path());
        // The check has ended once it has stored when the next one is due.
        QTRY_VERIFY2_WITH_TIMEOUT(
            QDateTime::fromString(WineDesktop::setting(prefix, QStringLiteral("UpdateChecker_NextCheck")), Qt::ISODate)
                    .isValid()
                || program.state() == QProcess::NotRunning,
            qPrintable(QStringLiteral("start %1: no check ended").arg(start)), 120000);
        // A round trip through the running program after its check's thread
        // has gone: a second start finds it answering and hands over.
        const WineRun second = prefix.run(WinePrefix::programPath(), {}, cwd.path());
        QVERIFY(second.finished);
        QCOMPARE(second.exitCode, 0);
        QVERIFY2(program.state() == QProcess::Running, qPrintable(QStringLiteral("start %1 ended").arg(start)));
        QCOMPARE(WineDesktop::windows(mainTitle).size(), 1);
        // A crash on the check's thread would have begun a dump here.
        QCOMPARE(QDir(cwd.path()).entryList({QStringLiteral("*.dmp")}, QDir::Files), QStringList());
        program.kill();
        program.waitForFinished(60000);
    }
}

void TestWinGui::secondStartHandsOverAndClosingKeepsTheWindowState()
{
    WinePrefix prefix;
    QVERIFY2(prefix.isValid(), qPrintable(prefix.errorString()));
    QTemporaryDir cwd;
    QVERIFY(cwd.isValid());
    WineDesktop::removeSetting(prefix, QStringLiteral("WindowGeometry"));
    QProcess first;
    startProgram(first, prefix, cwd.path());

    // A second start finds the first, brings it forward and ends at once.
    const WineRun second = prefix.run(WinePrefix::programPath(), {}, cwd.path());
    QVERIFY(second.finished);
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(WineDesktop::windows(mainTitle).size(), 1);

    closeByMenu(first);
    QVERIFY(!WineDesktop::setting(prefix, QStringLiteral("WindowGeometry")).isEmpty());
    QVERIFY(!WineDesktop::setting(prefix, QStringLiteral("WindowState")).isEmpty());
}

// SelectedProfiles is a REG_MULTI_SZ, which reg shows joined by "\0".
void TestWinGui::ticksComeFromTheRegistryAndGoBackOnClose()
{
    WinePrefix prefix;
    QVERIFY2(prefix.isValid(), qPrintable(prefix.errorString()));
    QTemporaryDir cwd;
    QVERIFY(cwd.isValid());
    TestSupport::ProgramFixture fixture(prefix.path());
    const QString profiles = prefix.appData() + QStringLiteral("/Mozilla/Firefox/Profiles/");
    QVERIFY(fixture.makeFirefoxProfile(profiles + QStringLiteral("kept.default")));
    QVERIFY(fixture.makeFirefoxProfile(profiles + QStringLiteral("other.default")));
    QVERIFY(fixture.makeTextFile(prefix.appData() + QStringLiteral("/Mozilla/Firefox/profiles.ini"),
                                 "[Profile0]\nName=kept\nIsRelative=1\nPath=Profiles/kept.default\n\n"
                                 "[Profile1]\nName=other\nIsRelative=1\nPath=Profiles/other.default\n"));
    const QString separator = QStringLiteral("\\0");
    const auto sameNames = [](QStringList saved, QStringList expected) {
        for (QStringList* list : {&saved, &expected}) {
            for (QString& name : *list)
                name = name.replace(QLatin1Char('\\'), QLatin1Char('/')).toLower();
            list->sort();
        }
        return saved == expected;
    };

    // Nothing stored: every profile starts ticked, and closing stores them all.
    QProcess first;
    startProgram(first, prefix, cwd.path());
    closeByMenu(first);
    const QStringList stored = WineDesktop::setting(prefix, QStringLiteral("SelectedProfiles")).split(separator);
    const QString kept = prefix.driveCName(profiles + QStringLiteral("kept.default"));
    const QString other = prefix.driveCName(profiles + QStringLiteral("other.default"));
    QVERIFY2(sameNames(stored, {kept, other}), qPrintable(stored.join(QLatin1Char('|'))));

    // One of them and a profile that is gone: the other one starts unticked,
    // and the gone one is not written back.
    const QString keptAsStored = sameNames({stored.first()}, {kept}) ? stored.first() : stored.last();
    QVERIFY(WineDesktop::setSetting(prefix, QStringLiteral("SelectedProfiles"), QStringLiteral("REG_MULTI_SZ"),
                                    keptAsStored + separator + QStringLiteral("C:\\gone\\profile")));
    QProcess second;
    startProgram(second, prefix, cwd.path());
    closeByMenu(second);
    QCOMPARE(WineDesktop::setting(prefix, QStringLiteral("SelectedProfiles")), keptAsStored);
}

QTEST_GUILESS_MAIN(TestWinGui)
#include "tst_WinGui.moc"
