// Renders the main window over a small, plausible set of browser profiles:
// the profiles page, the same in dark mode, then the log page after a real
// run, then the update dialog and the download dialog over a feed of two
// newer versions. Writes main-window.png, main-window-dark.png, log-page.png,
// update-dialog.png and download-dialog.png into the folder given as argument.
#include "AppSettings.h"
#include "AvailableUpdate.h"
#include "MainWindowDriver.h"
#include "ProgramFixture.h"
#include "QDownloadProgressDlg.h"
#include "QUpdateChecker.h"
#include "QUpdatesDialog.h"
#include "QuorbilanApp.h"
#include "SettingsKeys.h"
#include "SqliteFixture.h"
#include "TestWorld.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPalette>

#include <cstdio>

using namespace TestSupport;

namespace {

struct Program
{
    QString executable;
    QString name;
    QColor colour;
};

// A round badge with the program's initial, standing in for its real icon.
bool drawIcon(const QString& file, const Program& program)
{
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(program.colour);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 60, 60);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(36);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, program.name.left(1));
    painter.end();
    return image.save(file);
}

// Installed as the desktop knows programs: an executable on PATH and a menu entry.
bool install(const QString& root, const Program& program)
{
    const QString bin = root + "/usr/bin/" + program.executable;
    const QString icon = root + "/usr/share/pixmaps/" + program.executable + ".png";
    const QString entry = qEnvironmentVariable("XDG_DATA_HOME") + "/applications/" + program.executable + ".desktop";
    QDir().mkpath(QFileInfo(bin).path());
    QDir().mkpath(QFileInfo(icon).path());
    QDir().mkpath(QFileInfo(entry).path());
    return writeFile(bin, "#!/bin/sh\n")
        && QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) && drawIcon(icon, program)
        && writeFile(entry,
                     QString("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %u\nIcon=%3\n")
                         .arg(program.name, bin, icon)
                         .toUtf8());
}

// Databases with as much free space as a browser leaves after months of use.
bool databases(const QString& folder, const QList<QPair<QString, int>>& files, double scale = 1.0)
{
    QDir().mkpath(folder);
    for (const auto& file : files) {
        const int rows = int(file.second * scale);
        if (!createBloatedDatabase(folder + "/" + file.first, rows, 1024, rows / 4))
            return false;
    }
    return true;
}

bool buildProfiles(ProgramFixture& fixture, const QString& home)
{
    const QString firefox = fixture.appData() + "/Mozilla/Firefox";
    const QString chrome = fixture.localAppData() + "/Google/Chrome/User Data";
    const QString edge = fixture.localAppData() + "/Microsoft/Edge/User Data";
    const QString brave = fixture.localAppData() + "/BraveSoftware/Brave-Browser/User Data";
    const QString ini
        = "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/x8k2q1v9.default-release\nDefault=1\n\n"
          "[Profile1]\nName=work\nIsRelative=1\nPath=Profiles/m3r7c0d4.work\n";
    const QList<QPair<QString, int>> firefoxFiles
        = {{"places.sqlite", 2400}, {"cookies.sqlite", 500}, {"favicons.sqlite", 1200}, {"formhistory.sqlite", 120}};
    const QList<QPair<QString, int>> chromiumFiles = {{"History", 3000}, {"Cookies", 700}, {"Web Data", 400}};
    return fixture.makeTextFile(firefox + "/profiles.ini", ini.toUtf8())
        && fixture.makeTextFile(firefox + "/Profiles/x8k2q1v9.default-release/prefs.js", "\n")
        && databases(firefox + "/Profiles/x8k2q1v9.default-release", firefoxFiles)
        && fixture.makeTextFile(firefox + "/Profiles/m3r7c0d4.work/prefs.js", "\n")
        && databases(firefox + "/Profiles/m3r7c0d4.work", firefoxFiles.mid(0, 3), 0.4)
        && fixture.writeLocalState(chrome, {{"Default", "Person 1"}, {"Profile 1", "Work"}})
        && databases(chrome + "/Default", chromiumFiles)
        && databases(chrome + "/Profile 1", chromiumFiles.mid(0, 2), 0.6)
        && fixture.writeLocalState(edge, {{"Default", "Personal"}}) && databases(edge + "/Default", chromiumFiles, 0.3)
        && fixture.writeLocalState(brave, {{"Default", "Brave"}}) && databases(brave + "/Default", chromiumFiles, 1.5)
        && fixture.makeTextFile(home + "/Portable/FirefoxPortable/Data/profile/prefs.js", "\n")
        && databases(home + "/Portable/FirefoxPortable/Data/profile", firefoxFiles.mid(0, 2), 0.7);
}

// The desktop prefers dark, as GSettings' keyfile backend tells it; no
// session bus, so no portal of the machine's desktop has a say.
bool preferDark(const QString& root)
{
    qputenv("GSETTINGS_BACKEND", "keyfile");
    // The test world's data folders hide the system's schemas.
    qputenv("GSETTINGS_SCHEMA_DIR", "/usr/share/glib-2.0/schemas");
    qputenv("DBUS_SESSION_BUS_ADDRESS", QString("unix:path=" + root + "/no-session-bus").toUtf8());
    const QString keyfile = qEnvironmentVariable("XDG_CONFIG_HOME") + "/glib-2.0/settings/keyfile";
    QDir().mkpath(QFileInfo(keyfile).path());
    return writeFile(keyfile, "[org/gnome/desktop/interface]\ncolor-scheme='prefer-dark'\n");
}

bool save(QWidget* window, const QString& file)
{
    QCoreApplication::processEvents();
    if (!window->grab().save(file))
        return false;
    std::printf("%s\n", qPrintable(file));
    return true;
}

const char updateFeed[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<quorbilan>
  <download windows="https://www.example.com/download/QuorbilanSetup-3.2.exe"/>
  <history>
    <version name="3.2" date="12.11.2026">
      <item type="new"><html lang="en">**Thunderbird** and **Betterbird** address books are compacted too</html></item>
      <item type="improved"><html lang="en">Large history databases are compacted up to twice as fast</html></item>
      <item type="fixed"><html lang="en">A profile on a network drive no longer stops the run; see [the notes](https://www.example.com/notes)</html></item>
    </version>
    <version name="3.1" date="3.9.2026">
      <item type="new"><html lang="en">Custom profiles can be dropped on the list</html></item>
      <item type="fixed"><html lang="en">The log keeps its place while a run adds lines</html></item>
    </version>
  </history>
</quorbilan>
)";

// The update service's dialogs as a user meets them after the window's check.
bool saveUpdateDialogs(QuorbilanApp& app, QWidget* window, const QString& output)
{
    QUpdateChecker* checker = app.updateChecker;
    // No check of the schedule may refill the feed while the pictures are made.
    checker->stop();
    if (!checker->availableUpdate->fromXML(updateFeed))
        return false;
    {
        QUpdatesDialog dialog(checker, window);
        dialog.show();
        if (!save(&dialog, output + "/update-dialog.png"))
            return false;
    }
    // Halfway through the download; its outcome is not waited for.
    checker->availableUpdate->downloadUrl = "http://127.0.0.1:9/QuorbilanSetup-3.2.exe";
    QDownloadProgressDlg dialog(checker, window);
    QObject::disconnect(&dialog, &QDownloadProgressDlg::progressError, nullptr, nullptr);
    QMetaObject::invokeMethod(&dialog, "slotDownloadProgress", Q_ARG(qint64, qint64(3.1 * 1024 * 1024)),
                              Q_ARG(qint64, qint64(7.4 * 1024 * 1024)));
    dialog.show();
    return save(&dialog, output + "/download-dialog.png");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    // A fixed place, so the paths in the pictures stay the same from run to run.
    QDir rootDir(QDir::tempPath() + "/quorbilan-screenshots");
    rootDir.removeRecursively();
    struct Cleanup
    {
        QDir dir;
        ~Cleanup() { dir.removeRecursively(); }
    } cleanup{rootDir};
    rootDir.mkpath(".");
    const QString rootPath = rootDir.path();
    isolateWorld(rootPath);
    if (!preferDark(rootPath))
        return 1;
    // A user's home with the Windows data folders the programs use.
    const QString home = rootPath + "/home/jane";
    ProgramFixture fixture(home + "/AppData");
    qputenv("LOCALAPPDATA", (home + "/AppData/Local").toUtf8());
    qputenv("APPDATA", (home + "/AppData/Roaming").toUtf8());
    int appArgc = 1;
    QuorbilanApp app(appArgc, argv);
    // Icons are drawn, so this waits for the application object.
    const QList<Program> programs = {{"firefox", "Firefox", QColor(0xe6, 0x60, 0x00)},
                                     {"chrome", "Chrome", QColor(0x1a, 0x73, 0xe8)},
                                     {"msedge", "Edge", QColor(0x0c, 0x8a, 0x7c)},
                                     {"brave", "Brave", QColor(0xfb, 0x54, 0x2b)}};
    for (const Program& program : programs) {
        if (!install(rootPath, program))
            return 1;
    }
    qputenv("PATH", (rootPath + "/usr/bin" + ":" + qEnvironmentVariable("PATH")).toUtf8());
    if (!buildProfiles(fixture, home))
        return 1;

    app.settings->setValueStringList(SettingCustomProfiles,
                                     {"Mozilla\t" + home + "/Portable/FirefoxPortable/Data/profile"});
    MainWindow window;
    MainWindowDriver w{&window};
    window.resize(760, 540);
    window.show();
    if (!QTest::qWaitFor([&] { return w.loaded(); }, 60000))
        return 1;
    // A profile left out, and a row picked, as a user leaves the list.
    w.group("Chrome")->child(1)->setCheckState(0, Qt::Unchecked);
    w.tree()->setCurrentItem(w.group("Firefox")->child(0));
    if (!save(&window, output + "/main-window.png"))
        return 1;

    // Dark mode as the system asks for it, then back to the light look.
    app.enableDarkMode(false);
    if (QGuiApplication::palette().color(QPalette::Window) != QColor(45, 45, 45)) {
        std::fprintf(stderr, "dark mode did not apply: is gsettings with the desktop schemas installed?\n");
        return 1;
    }
    if (!save(&window, output + "/main-window-dark.png"))
        return 1;
    QuorbilanApp::applyDarkMode(&app, false);

    w.click(w.optimizeButton());
    if (!QTest::qWaitFor([&] { return w.optimizeButton()->text() == QLatin1String("Optimize again"); }, 120000))
        return 1;
    w.log()->scrollToBottom();
    if (!save(&window, output + "/log-page.png"))
        return 1;
    if (!saveUpdateDialogs(app, &window, output))
        return 1;
    return 0;
}
