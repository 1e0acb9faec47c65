// Renders the Windows program's main window under Wine (the windowsvista
// style, Wine's own fonts and title bar) over a few Firefox and Chrome
// profiles in a private prefix, into the PNG file given as argument. Runs
// under xvfb-run with the environment of the Windows program's tests
// (scripts/screenshot-windows.sh, and ctest).
#include "ProgramFixture.h"
#include "WineDesktop.h"
#include "WineProgram.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using TestSupport::ProgramFixture;

namespace {

bool buildProfiles(ProgramFixture& fixture, const WinePrefix& prefix)
{
    const QString firefox = prefix.appData() + QStringLiteral("/Mozilla/Firefox");
    const QString chrome = prefix.localAppData() + QStringLiteral("/Google/Chrome/User Data");
    const QByteArray ini
        = "[General]\nStartWithLastProfile=1\n\n"
          "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/x8k2q1v9.default-release\nDefault=1\n\n"
          "[Profile1]\nName=work\nIsRelative=1\nPath=Profiles/m3r7c0d4.work\n";
    return fixture.makeTextFile(firefox + QStringLiteral("/profiles.ini"), ini)
        && fixture.makeFirefoxProfile(firefox + QStringLiteral("/Profiles/x8k2q1v9.default-release"), 3)
        && fixture.makeFirefoxProfile(firefox + QStringLiteral("/Profiles/m3r7c0d4.work"), 1)
        && fixture.makeChromiumProfile(chrome + QStringLiteral("/Default"), 2)
        && fixture.makeChromiumProfile(chrome + QStringLiteral("/Profile 1"))
        && fixture.writeLocalState(chrome,
                                   {{QStringLiteral("Default"), QStringLiteral("Person 1")},
                                    {QStringLiteral("Profile 1"), QStringLiteral("Work")}});
}

int fail(const char* message)
{
    std::fprintf(stderr, "windows_screenshot: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The picture is read from the X display.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: windows_screenshot OUTPUT.png\n");
        return 2;
    }
    WinePrefix prefix;
    if (!prefix.isValid())
        return fail(qPrintable(prefix.errorString()));
    ProgramFixture fixture(prefix.path());
    if (!buildProfiles(fixture, prefix))
        return fail("cannot build the profiles");
    QTemporaryDir work;
    QProcess program;
    WineDesktop::start(program, prefix, WinePrefix::programPath(), work.path(),
                       {QStringLiteral("QUORBILAN_UPDATE_URL=") + WineDesktop::refusedFeedUrl()});
    if (!program.waitForStarted(60000))
        return fail("the program did not start");
    const QString title = WineDesktop::mainWindowTitle();
    if (!QTest::qWaitFor([&] { return !WineDesktop::windows(title).isEmpty(); }, 120000))
        return fail("no main window");
    const QString window = WineDesktop::windows(title).first();

    // Done once the window has been up for a few looks and two in a row were
    // the same: the default button's glow pulses for as long as it is shown,
    // so the picture never stays the same for long.
    QImage picture;
    bool settled = false;
    const QDeadlineTimer deadline(120000);
    for (int look = 1; !settled && !deadline.hasExpired(); ++look) {
        QTest::qWait(500);
        const QImage now = WineDesktop::windowImage(window);
        settled = look > 6 && !now.isNull() && now == picture;
        picture = now;
    }
    program.kill();
    program.waitForFinished(60000);
    if (!settled)
        return fail("the window did not settle");
    if (!picture.save(QString::fromLocal8Bit(argv[1])))
        return fail("cannot write the picture");
    return 0;
}
