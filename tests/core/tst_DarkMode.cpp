// Dark mode on Linux, end to end: a program with dark-mode support started
// against a private session bus, with the real desktop portal and its GTK
// backend (under Xvfb, reading GSettings' keyfile backend), a portal settings
// service of the test's own, GSettings alone, or nothing.
#include "GuiChild.h"
#include "PrivateBus.h"
#include "TestWorld.h"

#include "DesktopAppearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString darkStyleSheet = "QToolTip { color: #ffffff; background-color: #2a82da; border: 1px solid white; }";
const QString lightStyleSheet = "QLabel { color: #123456; }";

// A child process spoken to through standard input and heard line by line.
struct Child : GuiChild
{
    using GuiChild::GuiChild;
    int next = 0;

    // The next line starting with `prefix`, skipping nothing else but lines
    // already taken; empty when the child ended first.
    QString take(const QString& prefix)
    {
        for (;;) {
            while (next < lines.size()) {
                const QString line = lines.at(next++);
                if (line.startsWith(prefix))
                    return line;
                if (line == "changed")
                    ++changes;
            }
            if (!process.canReadLine() && !process.waitForReadyRead(60000))
                return {};
            readLines();
        }
    }
    void say(const QByteArray& line)
    {
        process.write(line + "\n");
        process.waitForBytesWritten();
    }
    void stop()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished();
    }
    int changes = 0;
};

// One report of the helper's look.
struct Look
{
    QString style;
    bool saved = false;
    QString sheet;
    QHash<QString, QString> palette;
};

Look readLook(Child& helper)
{
    Look look;
    const QString head = helper.take("look ");
    const QStringList words = head.split(' ');
    for (const QString& word : words) {
        if (word.startsWith("style="))
            look.style = word.mid(6);
        else if (word == "saved=1")
            look.saved = true;
    }
    look.sheet = helper.take("sheet ").mid(6);
    for (const QString& entry : helper.take("palette ").mid(8).split(' ')) {
        const int eq = entry.indexOf('=');
        look.palette.insert(entry.left(eq), entry.mid(eq + 1));
    }
    return look;
}

// The dark palette, entry by entry: roles set for all groups, some then
// overridden for the disabled group.
void verifyDarkLook(const Look& look)
{
    QCOMPARE(look.style, QString("fusion"));
    QCOMPARE(look.sheet, darkStyleSheet);
    QVERIFY(!look.saved);
    const QString white = "#ffffffff", grey = "#ff2d2d2d", blue = "#ff2a82da", dim = "#ff7f7f7f";
    const QList<QPair<QString, QString>> all = {{"Window", grey},
                                                {"WindowText", white},
                                                {"Base", "#ff121212"},
                                                {"AlternateBase", grey},
                                                {"ToolTipBase", white},
                                                {"ToolTipText", white},
                                                {"Text", white},
                                                {"Button", grey},
                                                {"ButtonText", white},
                                                {"BrightText", "#ffff0000"},
                                                {"Link", blue},
                                                {"Highlight", blue},
                                                {"HighlightedText", "#ff000000"}};
    const QStringList disabledOnly = {"Text", "ButtonText", "HighlightedText"};
    for (const auto& [role, colour] : all) {
        for (const QString group : {"Active", "Inactive", "Disabled"}) {
            const QString expected = group == "Disabled" && disabledOnly.contains(role) ? dim : colour;
            QCOMPARE(look.palette.value(group + ":" + role), expected);
        }
    }
}

void verifyLightLook(const Look& look)
{
    QCOMPARE(look.style, QString("windows"));
    QCOMPARE(look.sheet, lightStyleSheet);
    QVERIFY(look.saved);
}

} // namespace

class DarkModeTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir root;
    std::unique_ptr<PrivateBus> bus;

    // With `schemaDir`, the only GSettings schemas are the ones compiled there.
    QProcessEnvironment environment(bool withSchemas, const QString& schemaDir = QString()) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The portal picks its GTK backend for this desktop.
        env.insert("XDG_CURRENT_DESKTOP", "GNOME");
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus->address);
        // No logind here.
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + root.filePath("no-system-bus"));
        env.insert("GSETTINGS_BACKEND", "keyfile");
        // The private world hides the machine's data folders; the desktop
        // schemas are the one thing wanted from them.
        env.insert("XDG_DATA_DIRS", withSchemas ? QString("/usr/local/share:/usr/share") : root.filePath("empty"));
        env.remove("GSETTINGS_SCHEMA_DIR");
        if (!schemaDir.isEmpty())
            env.insert("GSETTINGS_SCHEMA_DIR", schemaDir);
        return env;
    }

    void startPortal(Child& portal, uint colorScheme, const QStringList& arguments = {})
    {
        portal.process.setProcessEnvironment(environment(true));
        QVERIFY(portal.start(arguments + QStringList{"--color-scheme", QString::number(colorScheme)}));
        QVERIFY(portal.waitForLine("ready"));
    }

    void startHelper(Child& helper, bool withSchemas, const QString& expectedStart,
                     const QString& schemaDir = QString())
    {
        helper.process.setProcessEnvironment(environment(withSchemas, schemaDir));
        QVERIFY(helper.start({}));
        QCOMPARE(helper.take("start "), expectedStart);
    }

    // Sends the test's marker through the portal and reads the look the
    // helper reports once every change before it has been handled.
    Look afterMarker(Child& portal, Child& helper)
    {
        portal.say("set org.quorbilan.test marker 1");
        if (helper.take("marker").isEmpty())
            return {};
        return readLook(helper);
    }

    // Starts the portal with a colour scheme and the helper against it.
    void startBoth(Child& portal, Child& helper, uint colorScheme)
    {
        startPortal(portal, colorScheme);
        startHelper(helper, false, "start support=1 watching=1");
    }

    // The look after the marker, and the changes the helper has seen so far.
    void expectAfterMarker(Child& portal, Child& helper, bool dark, int changes)
    {
        const Look look = afterMarker(portal, helper);
        if (dark)
            verifyDarkLook(look);
        else
            verifyLightLook(look);
        QCOMPARE(helper.changes, changes);
    }

    void writeColorScheme(const QByteArray& value)
    {
        const QString file = root.filePath("config/glib-2.0/settings/keyfile");
        QDir().mkpath(QFileInfo(file).path());
        QFile keyfile(file);
        QVERIFY(keyfile.open(QIODevice::WriteOnly));
        keyfile.write("[org/gnome/desktop/interface]\ncolor-scheme='" + value + "'\n");
    }

private slots:
    void initTestCase()
    {
        isolateWorld(root.path());
        QDir(root.path()).mkpath("empty");
        bus = std::make_unique<PrivateBus>();
        QVERIFY2(!bus->address.isEmpty(), "dbus-daemon did not start");
    }

    // The portal and its backend as a desktop runs them, the backend reading
    // GSettings' keyfile: a change written there reaches the program.
    void realPortal()
    {
        const QString backend = "/usr/libexec/xdg-desktop-portal-gtk", portal = "/usr/libexec/xdg-desktop-portal";
        if (!QFileInfo::exists(backend) || !QFileInfo::exists(portal)
            || QStandardPaths::findExecutable("Xvfb").isEmpty())
            QSKIP("xdg-desktop-portal, xdg-desktop-portal-gtk or Xvfb is missing (scripts/setup.sh installs them)");
        writeColorScheme("prefer-dark");
        // The GTK backend needs a display.
        QProcess display;
        display.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        display.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        QVERIFY(display.waitForStarted());
        QVERIFY(display.waitForReadyRead(30000));
        const QString displayName = ":" + QString::fromUtf8(display.readLine()).trimmed();
        QProcess backendProcess, service;
        for (QProcess* process : {&backendProcess, &service}) {
            QProcessEnvironment env = environment(true);
            env.insert("DISPLAY", displayName);
            process->setProcessEnvironment(env);
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process->setStandardOutputFile(QProcess::nullDevice());
        }
        backendProcess.start(backend, {});
        service.start(portal, {"--replace"});
        QVERIFY(backendProcess.waitForStarted());
        QVERIFY(service.waitForStarted());
        const auto stopAll = [&] {
            for (QProcess* process : {&service, &backendProcess, &display}) {
                process->terminate();
                if (!process->waitForFinished(5000)) {
                    process->kill();
                    process->waitForFinished();
                }
            }
        };
        QDBusConnection test = QDBusConnection::connectToBus(bus->address, "realPortal");
        const auto readsDark = [&] {
            QDBusMessage call
                = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                                 "org.freedesktop.portal.Settings", "Read");
            call << QString("org.freedesktop.appearance") << QString("color-scheme");
            const QDBusMessage reply = test.call(call, QDBus::Block, 2000);
            return reply.type() == QDBusMessage::ReplyMessage
                && DesktopAppearance::portalValueIsDark(reply.arguments().value(0));
        };
        const bool ready = QTest::qWaitFor(readsDark, 30000);
        QDBusConnection::disconnectFromBus("realPortal");
        if (!ready) {
            stopAll();
            QSKIP("the desktop portal did not start here");
        }

        Child helper(DARK_MODE_HELPER);
        startHelper(helper, false, "start support=1 watching=1");
        verifyDarkLook(readLook(helper));
        // The portal announces each change twice: one change each time.
        writeColorScheme("prefer-light");
        verifyLightLook(readLook(helper));
        QCOMPARE(helper.changes, 1);
        writeColorScheme("prefer-dark");
        verifyDarkLook(readLook(helper));
        QCOMPARE(helper.changes, 2);
        helper.stop();
        stopAll();
    }

    void cleanup() { QFile::remove(root.filePath("config/glib-2.0/settings/keyfile")); }

    // The system is dark at start: the dark look, then exactly the light look
    // from before the first switch, as the portal flips.
    void darkStartThenLight()
    {
        Child portal(FAKE_PORTAL), helper(DARK_MODE_HELPER);
        startBoth(portal, helper, 1);
        verifyDarkLook(readLook(helper));

        portal.say("set org.freedesktop.appearance color-scheme 2");
        expectAfterMarker(portal, helper, false, 1);

        // Two quick flips, the same value again, and settings that are not it.
        portal.say("set org.freedesktop.appearance color-scheme 1");
        portal.say("set org.freedesktop.appearance color-scheme 0");
        portal.say("set org.freedesktop.appearance color-scheme 2");
        portal.say("set org.freedesktop.appearance contrast 1");
        portal.say("set org.gnome.desktop.interface color-scheme 1");
        expectAfterMarker(portal, helper, false, 3);

        portal.say("set org.freedesktop.appearance color-scheme 1");
        expectAfterMarker(portal, helper, true, 4);
        helper.stop();
        portal.stop();
    }

    // A light start changes nothing that can be seen; a change to dark does.
    void lightStartThenDark()
    {
        Child portal(FAKE_PORTAL), helper(DARK_MODE_HELPER);
        startBoth(portal, helper, 0);
        verifyLightLook(readLook(helper));

        portal.say("set org.freedesktop.appearance color-scheme 1");
        expectAfterMarker(portal, helper, true, 1);
        helper.stop();
        portal.stop();
    }

    // A running portal slower than a moment to answer at start, as on a busy
    // machine, is still the source: its dark start shows, and changes follow.
    void slowPortalAtStart()
    {
        Child portal(FAKE_PORTAL), helper(DARK_MODE_HELPER);
        startPortal(portal, 1, {"--slow", QString::number(2 * DesktopAppearance::answerTimeoutMs)});
        startHelper(helper, false, "start support=1 watching=1");
        verifyDarkLook(readLook(helper));
        portal.say("set org.freedesktop.appearance color-scheme 0");
        expectAfterMarker(portal, helper, false, 1);
        helper.stop();
        portal.stop();
    }

    // A portal that stops answering calls but still announces: the look
    // follows what it announced, in both directions, not a read that failed.
    void portalStuckAfterStart()
    {
        Child portal(FAKE_PORTAL), helper(DARK_MODE_HELPER);
        startBoth(portal, helper, 0);
        verifyLightLook(readLook(helper));

        portal.say("mute");
        portal.say("set org.freedesktop.appearance color-scheme 1");
        expectAfterMarker(portal, helper, true, 1);
        portal.say("set org.freedesktop.appearance color-scheme 0");
        expectAfterMarker(portal, helper, false, 2);
        helper.stop();
        portal.stop();
    }

    // No portal: GSettings' setting decides the start; nothing follows changes.
    // An older desktop's schema without the key counts as no source.
    void gsettingsFallback_data()
    {
        QTest::addColumn<QByteArray>("scheme");
        QTest::addColumn<bool>("keyInSchema");
        QTest::addColumn<bool>("dark");
        QTest::newRow("prefer-dark") << QByteArray("prefer-dark") << true << true;
        QTest::newRow("prefer-light") << QByteArray("prefer-light") << true << false;
        QTest::newRow("default") << QByteArray("default") << true << false;
        QTest::newRow("schema without the key") << QByteArray("prefer-dark") << false << false;
    }
    void gsettingsFallback()
    {
        QFETCH(QByteArray, scheme);
        QFETCH(bool, keyInSchema);
        QFETCH(bool, dark);
        writeColorScheme(scheme);
        QString schemaDir;
        if (!keyInSchema) {
            schemaDir = root.filePath("old-schemas");
            QDir().mkpath(schemaDir);
            QFile schema(schemaDir + "/org.gnome.desktop.interface.gschema.xml");
            QVERIFY(schema.open(QIODevice::WriteOnly));
            schema.write("<schemalist><schema id=\"org.gnome.desktop.interface\" "
                         "path=\"/org/gnome/desktop/interface/\"><key name=\"gtk-theme\" type=\"s\">"
                         "<default>'Adwaita'</default></key></schema></schemalist>\n");
            schema.close();
            QCOMPARE(QProcess::execute("glib-compile-schemas", {schemaDir}), 0);
        }
        Child helper(DARK_MODE_HELPER);
        startHelper(helper, keyInSchema, "start support=1 watching=0", schemaDir);
        const Look look = readLook(helper);
        if (dark)
            verifyDarkLook(look);
        else
            verifyLightLook(look);
        helper.stop();
    }

    // No portal, or one that never answers, and no GSettings schema: the
    // properties are set, the look stays, and the program goes on after its
    // limit rather than waiting for ever.
    void noSource_data()
    {
        QTest::addColumn<bool>("silentPortal");
        QTest::newRow("no portal") << false;
        QTest::newRow("portal never answers") << true;
    }
    void noSource()
    {
        QFETCH(bool, silentPortal);
        writeColorScheme("prefer-dark");
        Child portal(FAKE_PORTAL), helper(DARK_MODE_HELPER);
        if (silentPortal)
            startPortal(portal, 1, {"--silent"});
        startHelper(helper, false, "start support=1 watching=0");
        verifyLightLook(readLook(helper));
        helper.stop();
        if (silentPortal)
            portal.stop();
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    DarkModeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_DarkMode.moc"
