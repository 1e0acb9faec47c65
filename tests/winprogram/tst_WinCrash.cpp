// The crash handler of the Windows program under Wine: a test build of
// quorbilan.exe (tests/windows/crash) faults once its main window is up; the
// handler writes the minidump into the current folder, named after the
// program, its version, the system and the time, and shows its report box,
// which the test answers with xdotool; the program then ends with exit code 1.
#include "ProductIdentity.h"
#include "WineDesktop.h"
#include "WineProgram.h"
#include "XdoTool.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

const QString boxTitle = QStringLiteral(QUORBILAN_PRODUCT_NAME " - Unhandled Exception");

// The exception code a minidump's exception stream holds, 0 when it has none.
quint32 exceptionCode(const QByteArray& dump)
{
    const auto u32 = [&dump](qsizetype at) -> quint32 {
        return at >= 0 && at + 4 <= dump.size() ? qFromLittleEndian<quint32>(dump.constData() + at) : 0;
    };
    if (!dump.startsWith("MDMP"))
        return 0;
    const quint32 streams = u32(8);
    const quint32 directory = u32(12);
    for (quint32 i = 0; i < streams && i < 1000; ++i) {
        const qsizetype entry = qsizetype(directory) + qsizetype(i) * 12;
        // ExceptionStream: thread id, alignment, then the exception record.
        if (u32(entry) == 6)
            return u32(qsizetype(u32(entry + 8)) + 8);
    }
    return 0;
}

QDateTime utcNowToTheSecond()
{
    QDateTime now = QDateTime::currentDateTimeUtc();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return now;
}

} // namespace

class TestWinCrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void faultWritesTheDumpAndShowsTheBox_data();
    void faultWritesTheDumpAndShowsTheBox();
};

void TestWinCrash::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (ctest runs this under xvfb-run)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool (scripts/setup.sh installs it)");
}

void TestWinCrash::faultWritesTheDumpAndShowsTheBox_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("GUI thread") << QStringLiteral("main");
    QTest::newRow("worker thread") << QStringLiteral("worker");
}

void TestWinCrash::faultWritesTheDumpAndShowsTheBox()
{
    QFETCH(QString, where);
    WinePrefix prefix;
    QVERIFY2(prefix.isValid(), qPrintable(prefix.errorString()));
    QTemporaryDir world;
    QVERIFY(world.isValid());
    const QString crashBuild = WinePrefix::windowsBuildDir() + QStringLiteral("/tests/windows/crash/bin/quorbilan.exe");
    QVERIFY2(QFileInfo::exists(crashBuild), qPrintable(crashBuild));
    const QString programFolder = world.filePath(QStringLiteral("Program Files/Quorbilan"));
    QVERIFY(WineDesktop::makeProgramFolder(programFolder, crashBuild));
    // The dump goes to the current folder, not beside the program.
    const QString cwd = world.filePath(QStringLiteral("started here"));
    QVERIFY(QDir().mkpath(cwd));
    // No update check of its own in this run: only the triggered fault.
    QVERIFY(WineDesktop::setSetting(prefix, QStringLiteral("UpdateChecker_Auto"), QStringLiteral("REG_DWORD"),
                                    QStringLiteral("0")));

    const QDateTime before = utcNowToTheSecond();
    QProcess program;
    WineDesktop::start(program, prefix, programFolder + QStringLiteral("/quorbilan.exe"), cwd,
                       {QStringLiteral("QUORBILAN_TEST_CRASH=") + where});
    QVERIFY(program.waitForStarted(60000));

    // Writing the minidump of a Qt process takes Wine up to about 40 s.
    QStringList boxes;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(boxes = WineDesktop::windows(boxTitle)).isEmpty() || program.state() == QProcess::NotRunning, 240000);
    const QDateTime after = utcNowToTheSecond();
    QCOMPARE(boxes.size(), 1);

    // One dump, in the current folder, named after the program, its version,
    // the system and the crash's UTC time, without leading zeros.
    const QStringList dumps = QDir(cwd).entryList({QStringLiteral("*.dmp")}, QDir::Files);
    QCOMPARE(dumps.size(), 1);
    QCOMPARE(QDir(programFolder).entryList({QStringLiteral("*.dmp")}, QDir::Files), QStringList());
    const QRegularExpression name(QStringLiteral("^quorbilan\\.exe_%1_10\\.0_x64_([1-9]\\d*)-([1-9]\\d?)-([1-9]\\d?)_"
                                                 "(0|[1-9]\\d?)\\.(0|[1-9]\\d?)\\.(0|[1-9]\\d?)\\.dmp$")
                                      .arg(QRegularExpression::escape(QStringLiteral(QUORBILAN_FILE_VERSION_TEXT))));
    const QRegularExpressionMatch match = name.match(dumps.first());
    QVERIFY2(match.hasMatch(), qPrintable(dumps.first()));
    const QDateTime crashTime(QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt()),
                              QTime(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt()),
                              Qt::UTC);
    QVERIFY2(crashTime >= before && crashTime <= after, qPrintable(dumps.first()));
    QFile dump(QDir(cwd).filePath(dumps.first()));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    // The faulting thread's access violation is the dump's exception.
    QCOMPARE(QString::number(exceptionCode(dump.readAll()), 16), QStringLiteral("c0000005"));

    // Send is the default button; Tab moves to Cancel. Either way the program ends with 1.
    WineDesktop::keys(boxes.first(), {QStringLiteral("Tab"), QStringLiteral("space")});
    QVERIFY(program.waitForFinished(120000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(WineDesktop::windows(boxTitle), QStringList());
}

QTEST_GUILESS_MAIN(TestWinCrash)
#include "tst_WinCrash.moc"
