// System notifications and the window bases' dark-mode mix-in: what starts
// when, one notification per window, and the Linux sources of the events
// (the session end, logind on a private system bus, the power supplies).
#include "BusDelivery.h"
#include "PowerSupplyFolder.h"
#include "PrivateBus.h"
#include "QDialogEx.h"
#include "QMainWindowEx.h"
#include "QSystemNotification.h"
#include "QSystemNotificationPrivate.h"
#include "SessionEndWatcher.h"
#include "TestWorld.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

namespace {

int notificationsOf(const QWidget* window)
{
    return int(window->findChildren<QSystemNotification*>(Qt::FindDirectChildrenOnly).size());
}

void setAppProperty(const char* name, bool on)
{
    qApp->setProperty(name, on ? QVariant(1) : QVariant());
}

bool writeText(const QString& file, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(text) == text.size();
}

} // namespace

class SystemNotificationTest : public QObject
{
    Q_OBJECT

public:
    explicit SystemNotificationTest(PrivateBus* systemBus)
        : systemBus(systemBus)
    {
    }

private:
    PrivateBus* systemBus;
    QTemporaryDir folder;

private slots:
    void cleanup()
    {
        setAppProperty("DarkModeSupport", false);
        setAppProperty("DarkModeWatchChanges", false);
    }

    void nothingConnectedStartsNothing()
    {
        QObject owner;
        auto* notification = new QSystemNotification(&owner);
        const QSystemNotificationPrivate* d = notification->d_func();
        QVERIFY(!d->filterInstalled);
        QVERIFY(!d->darkModeWatcher.isRunning());
        QVERIFY(!d->powerWatcher.isRunning());
        QVERIFY(notification->children().isEmpty());

        // No desktop portal on this bus: the dark-mode watcher stays idle and
        // the filter is not needed for it.
        QSignalSpy dark(notification, &QSystemNotification::darkModeChanged);
        QVERIFY(!d->darkModeWatcher.isRunning());
        QVERIFY(!d->filterInstalled);
    }

    // The power watcher follows only a machine with a mains supply.
    void powerWatcherNeedsASupply()
    {
        QSystemNotification notification(nullptr);
        QSignalSpy power(&notification, &QSystemNotification::powerSourceChanged);
        QCOMPARE(notification.d_func()->powerWatcher.isRunning(), currentPowerSource() != System::Unknown);
        QVERIFY(!notification.d_func()->filterInstalled);
        QVERIFY(!notification.d_func()->darkModeWatcher.isRunning());
    }

    // The filter comes with the first message signal and only once: one
    // session end gives one log-off.
    void filterInstalledOnce()
    {
        QSystemNotification notification(nullptr);
        QSignalSpy loggedOut(&notification, &QSystemNotification::userLoggedOut);
        QVERIFY(notification.d_func()->filterInstalled);
        QSignalSpy wake(&notification, &QSystemNotification::wakeUp);
        QSignalSpy sleep(&notification, &QSystemNotification::enterSleepMode);
        QVERIFY(notification.d_func()->filterInstalled);
        QVERIFY(!notification.d_func()->darkModeWatcher.isRunning());
        QVERIFY(!notification.d_func()->powerWatcher.isRunning());

        emit SessionEndWatcher::instance()->sessionEnding();
        QCOMPARE(loggedOut.count(), 1);
        QCOMPARE(wake.count(), 0);
        QCOMPARE(sleep.count(), 0);
    }

    // logind's PrepareForSleep on the system bus becomes sleep and wake.
    void sleepAndWakeFromLogind()
    {
        QDBusConnection logind = QDBusConnection::connectToBus(systemBus->address, "logind");
        QVERIFY(logind.isConnected());
        QVERIFY(logind.registerService("org.freedesktop.login1"));

        QSystemNotification notification(nullptr);
        QSignalSpy sleep(&notification, &QSystemNotification::enterSleepMode);
        QSignalSpy wake(&notification, &QSystemNotification::wakeUp);
        // The notification's own round trip may give up early on a slow bus;
        // this one waits until the bus holds its match rule and delivers in
        // order, so the signals below can neither pass unseen nor swap places.
        QVERIFY(waitUntilDeliveryIsLive(QDBusConnection::systemBus()));
        for (bool sleeping : {true, false}) {
            QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1",
                                                             "org.freedesktop.login1.Manager", "PrepareForSleep");
            signal << sleeping;
            QVERIFY(logind.send(signal));
        }
        QVERIFY(wake.wait(10000));
        QCOMPARE(sleep.count(), 1);
        QCOMPARE(wake.count(), 1);
        QDBusConnection::disconnectFromBus("logind");
    }

    void powerSourceFromSupplies_data()
    {
        QTest::addColumn<QStringList>("supplies");
        QTest::addColumn<int>("source");
        QTest::newRow("mains online") << QStringList{"AC:Mains:1", "BAT0:Battery:"} << int(System::AC);
        QTest::newRow("mains offline") << QStringList{"AC:Mains:0", "BAT0:Battery:"} << int(System::Battery);
        QTest::newRow("one of two online") << QStringList{"ADP1:Mains:0", "USBC:Mains:1"} << int(System::AC);
        QTest::newRow("battery only") << QStringList{"BAT0:Battery:"} << int(System::Unknown);
        QTest::newRow("nothing") << QStringList{} << int(System::Unknown);
    }
    void powerSourceFromSupplies()
    {
        QFETCH(QStringList, supplies);
        QFETCH(int, source);
        const QString root = folder.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(root));
        for (const QString& supply : supplies) {
            const QStringList parts = supply.split(':');
            QVERIFY(writeText(root + "/" + parts[0] + "/type", parts[1].toUtf8() + "\n"));
            if (!parts[2].isEmpty())
                QVERIFY(writeText(root + "/" + parts[0] + "/online", parts[2].toUtf8() + "\n"));
        }
        QCOMPARE(int(powerSourceIn(root.toStdString())), source);
        QCOMPARE(int(powerSourceIn(folder.filePath("missing").toStdString())), int(System::Unknown));
    }

    // Without support, or without watching, a window follows nothing.
    void windowsWithoutWatching_data()
    {
        QTest::addColumn<bool>("support");
        QTest::newRow("support off") << false;
        QTest::newRow("support on, watching off") << true;
    }
    void windowsWithoutWatching()
    {
        QFETCH(bool, support);
        setAppProperty("DarkModeSupport", support);
        QMainWindowEx window;
        QDialogEx dialog;
        for (QWidget* widget : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&dialog)}) {
            QCOMPARE(notificationsOf(widget), 0);
            QVERIFY(!widget->property("DarkModeWatcher").isValid());
        }
    }

    // With support and watching, one notification per window, also after
    // the setting changed several times.
    void windowsFollowChanges()
    {
        setAppProperty("DarkModeSupport", true);
        setAppProperty("DarkModeWatchChanges", true);
        QMainWindowEx window;
        QDialogEx dialog(&window);
        for (QWidget* widget : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&dialog)}) {
            QCOMPARE(notificationsOf(widget), 1);
            QCOMPARE(widget->property("DarkModeWatcher"), QVariant(1));
            auto* notification = widget->findChild<QSystemNotification*>(QString(), Qt::FindDirectChildrenOnly);
            for (int i = 0; i < 3; ++i)
                emit notification->darkModeChanged();
            WinDarkMode::applyWindowDarkMode(widget);
            QCOMPARE(notificationsOf(widget), 1);
            QVERIFY(!notification->d_func()->filterInstalled);
        }
        WinDarkMode::applyWindowDarkMode(nullptr);
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir root;
    isolateWorld(root.path());
    // No session bus, so no portal; logind on a bus of the test's own.
    qputenv("DBUS_SESSION_BUS_ADDRESS", QString("unix:path=" + root.filePath("no-session-bus")).toUtf8());
    PrivateBus systemBus;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", systemBus.address.toUtf8());
    QApplication app(argc, argv);
    SystemNotificationTest test(&systemBus);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SystemNotification.moc"
