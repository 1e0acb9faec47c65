// The Windows program's dark mode under Wine, seen in its window's pixels: with
// the user's app setting dark at start it comes up dark, and it follows the
// setting while it runs, both ways. It needs a theme library of Windows 10
// 1809 or later; Wine's own says it is version 1.0 and has none of the
// dark-mode entry points, and on such a system the program keeps its light
// look. Wine's theme library with Windows 10's version resource stands in for
// a new one: every theme function stays Wine's, only the version differs.
#include "WineDesktop.h"
#include "WineProgram.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString personalizeKey
    = QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize");

bool setAppsDark(const WinePrefix& prefix, bool dark)
{
    return WineDesktop::setRegistryValue(prefix, personalizeKey, QStringLiteral("AppsUseLightTheme"),
                                         QStringLiteral("REG_DWORD"), dark ? QStringLiteral("0") : QStringLiteral("1"));
}

// "dark" when most of the window has the dark palette's window or base colour,
// "light" when most of it is near white (the windowsvista look), otherwise
// "neither" (not painted yet, or something else).
QString look(const QImage& image)
{
    if (image.isNull())
        return QStringLiteral("no picture");
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    qint64 dark = 0;
    qint64 light = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb pixel = line[x] & 0xffffff;
            if (pixel == 0x2d2d2d || pixel == 0x121212)
                ++dark;
            else if (qRed(pixel) >= 200 && qGreen(pixel) >= 200 && qBlue(pixel) >= 200)
                ++light;
        }
    }
    const qint64 all = qint64(rgb.width()) * rgb.height();
    if (2 * dark > all)
        return QStringLiteral("dark");
    if (2 * light > all)
        return QStringLiteral("light");
    return QStringLiteral("neither");
}

} // namespace

class TestWinDarkMode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void followsTheAppSetting_data();
    void followsTheAppSetting();
};

void TestWinDarkMode::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (ctest runs this under xvfb-run)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool (scripts/setup.sh installs it)");
}

void TestWinDarkMode::followsTheAppSetting_data()
{
    QTest::addColumn<bool>("windows10ThemeLibrary");
    QTest::newRow("Wine's theme library: no dark mode") << false;
    QTest::newRow("a theme library with Windows 10's version") << true;
}

void TestWinDarkMode::followsTheAppSetting()
{
    QFETCH(bool, windows10ThemeLibrary);
    WinePrefix prefix;
    QVERIFY2(prefix.isValid(), qPrintable(prefix.errorString()));
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString folder = work.path() + QStringLiteral("/program");
    QVERIFY(WineDesktop::makeProgramFolder(folder, WinePrefix::programPath()));
    QStringList environment{QStringLiteral("QUORBILAN_UPDATE_URL=") + WineDesktop::refusedFeedUrl()};
    if (windows10ThemeLibrary) {
        const QString wineLibrary = prefix.path() + QStringLiteral("/drive_c/windows/system32/uxtheme.dll");
        QVERIFY(QFileInfo::exists(wineLibrary));
        const WineRun made = prefix.run(
            WinePrefix::windowsBuildDir() + QStringLiteral("/tests/windows/helpers/theme_library.exe"),
            {WinePrefix::windowsPath(wineLibrary), WinePrefix::windowsPath(folder + QStringLiteral("/uxtheme.dll"))});
        QVERIFY(made.finished);
        QCOMPARE(made.exitCode, 0);
        // The copy beside the program, not Wine's builtin.
        environment << QStringLiteral("WINEDLLOVERRIDES=%1;uxtheme=n")
                           .arg(prefix.environment().value(QStringLiteral("WINEDLLOVERRIDES")));
    }
    QVERIFY(setAppsDark(prefix, true));

    QProcess program;
    WineDesktop::start(program, prefix, folder + QStringLiteral("/quorbilan.exe"), work.path(), environment);
    QVERIFY(program.waitForStarted(60000));
    const QString title = WineDesktop::mainWindowTitle();
    QTRY_VERIFY_WITH_TIMEOUT(WineDesktop::windows(title).size() == 1 || program.state() == QProcess::NotRunning,
                             120000);
    const QStringList windows = WineDesktop::windows(title);
    QCOMPARE(windows.size(), 1);
    const QString window = windows.first();

    if (!windows10ThemeLibrary) {
        // Painted in the light look although the setting is dark.
        QTRY_COMPARE_WITH_TIMEOUT(look(WineDesktop::windowImage(window)), QStringLiteral("light"), 60000);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(look(WineDesktop::windowImage(window)), QStringLiteral("dark"), 60000);
        const QImage dark = WineDesktop::windowImage(window);
        // The running program's watcher sees each change of the setting.
        QVERIFY(setAppsDark(prefix, false));
        QTRY_COMPARE_WITH_TIMEOUT(look(WineDesktop::windowImage(window)), QStringLiteral("light"), 60000);
        const QImage light = WineDesktop::windowImage(window);
        QVERIFY(setAppsDark(prefix, true));
        QTRY_COMPARE_WITH_TIMEOUT(look(WineDesktop::windowImage(window)), QStringLiteral("dark"), 60000);
        // Wine draws the title bar itself, in its own colours: the window's dark
        // title-bar attribute does not show there.
        const int captionRow = 8;
        qInfo("title bar at row %d: dark %08x, light %08x", captionRow, dark.pixel(dark.width() / 2, captionRow),
              light.pixel(light.width() / 2, captionRow));
    }
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished(60000);
}

QTEST_MAIN(TestWinDarkMode)
#include "tst_WinDarkMode.moc"
