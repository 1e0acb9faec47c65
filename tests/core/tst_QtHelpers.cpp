#include "GuiChild.h"
#include "IsolatedTestMain.h"
#include "QStringFormatter.h"
#include "QtHelpers.h"
#include "TestWorld.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QFile>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "UrlCatcher.h"

using TestSupport::UrlCatcher;

// Stands in for the desktop's file manager on a private session bus.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shownItems;

public slots:
    void ShowItems(const QStringList& uris, const QString& /*startupId*/) { shownItems << uris; }
};

class TestQtHelpers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void showInExplorerSelectsAnExistingFile();
    void showInExplorerFallsBackToTheFolder();
    void showInExplorerOnAMissingPath_data();
    void showInExplorerOnAMissingPath();
    void appIconHasEverySizeAndIsMadeOnce();
    void decreaseFontSizeLowersThePointSize();
    void padButtonText_data();
    void padButtonText();
    void windowStateSurvivesARestart();
    void formatsQStringArguments_data();
    void formatsQStringArguments();

private:
    bool busAvailable() const { return bus.state() == QProcess::Running; }

    QTemporaryDir dir;
    QProcess bus;
    UrlCatcher catcher;
    FakeFileManager fileManager;
    QString fileManagerConnection = "file-manager";
};

void TestQtHelpers::initTestCase()
{
    QVERIFY(dir.isValid());
    QDesktopServices::setUrlHandler("file", &catcher, "openUrl");

    // A private session bus, so the test neither needs nor disturbs a desktop.
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty())
        return;
    bus.start(daemon, {"--session", "--nofork", "--print-address"});
    if (!bus.waitForStarted() || !bus.waitForReadyRead(30000))
        return;
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QVERIFY(QDBusConnection::sessionBus().isConnected());
}

void TestQtHelpers::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler("file");
    QDBusConnection::disconnectFromBus(fileManagerConnection);
    if (busAvailable()) {
        bus.terminate();
        bus.waitForFinished();
    }
}

void TestQtHelpers::init()
{
    catcher.opened.clear();
    fileManager.shownItems.clear();
}

void TestQtHelpers::showInExplorerSelectsAnExistingFile()
{
    if (!busAvailable())
        QSKIP("dbus-daemon is not installed: no session bus to test the file manager call on");
    QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, fileManagerConnection);
    QVERIFY(connection.registerObject("/org/freedesktop/FileManager1", &fileManager, QDBusConnection::ExportAllSlots));
    QVERIFY(connection.registerService("org.freedesktop.FileManager1"));

    const QString file = dir.filePath("History #1 & more.sqlite");
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    showInExplorer(file, true);
    QTRY_COMPARE_WITH_TIMEOUT(fileManager.shownItems.size(), 1, 60000);
    QCOMPARE(QUrl(fileManager.shownItems.first()).toLocalFile(), file);
    QVERIFY(catcher.opened.isEmpty());

    QVERIFY(connection.unregisterService("org.freedesktop.FileManager1"));
    connection.unregisterObject("/org/freedesktop/FileManager1");
}

void TestQtHelpers::showInExplorerFallsBackToTheFolder()
{
    if (!busAvailable())
        QSKIP("dbus-daemon is not installed: no session bus to test the file manager call on");
    // No file manager on the bus: the folder holding the file opens instead.
    QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.FileManager1"));
    QVERIFY(QDir(dir.path()).mkpath("Profile"));
    const QString file = dir.filePath("Profile/places.sqlite");
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    showInExplorer(file, false);
    QTRY_COMPARE_WITH_TIMEOUT(catcher.opened.size(), 1, 60000);
    QCOMPARE(catcher.opened.first(), QUrl::fromLocalFile(dir.filePath("Profile")));
}

void TestQtHelpers::showInExplorerOnAMissingPath_data()
{
    QTest::addColumn<bool>("openFolder");
    QTest::newRow("open the folder") << true;
    QTest::newRow("do nothing") << false;
}

void TestQtHelpers::showInExplorerOnAMissingPath()
{
    QFETCH(bool, openFolder);
    const QString missing = dir.filePath("gone/Default");
    showInExplorer(missing, openFolder);
    QCoreApplication::processEvents();
    if (openFolder) {
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("gone"))});
    } else {
        QVERIFY(catcher.opened.isEmpty());
    }
    QVERIFY(fileManager.shownItems.isEmpty());
}

void TestQtHelpers::appIconHasEverySizeAndIsMadeOnce()
{
    const QIcon first = appIcon();
    QVERIFY(!first.isNull());
    QList<int> sizes;
    for (const QSize& size : first.availableSizes())
        sizes << size.width();
    QCOMPARE(sizes, (QList<int>{16, 32, 64, 128}));
    // Drawn, not blank: the 16 px image has opaque pixels of more than one colour.
    const QImage small = first.pixmap(16, 16).toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            colours.insert(small.pixel(x, y));
    QVERIFY(colours.size() > 3);
    QCOMPARE(appIcon().cacheKey(), first.cacheKey());
}

void TestQtHelpers::decreaseFontSizeLowersThePointSize()
{
    QWidget widget;
    QFont font = widget.font();
    font.setPointSizeF(10.0);
    widget.setFont(font);
    decreaseFontSize(&widget, 1.5);
    QCOMPARE(widget.font().pointSizeF(), 8.5);
    decreaseFontSize(nullptr, 1.0);
}

void TestQtHelpers::padButtonText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("extraWidth");
    QTest::addColumn<QString>("expected");
    QTest::newRow("tight text is padded") << "Remind Me Later" << 10 << " Remind Me Later ";
    QTest::newRow("room of 20 px is enough") << "Remind Me Later" << 20 << "Remind Me Later";
    QTest::newRow("already padded") << " Skip " << 0 << " Skip ";
}

void TestQtHelpers::padButtonText()
{
    QFETCH(QString, text);
    QFETCH(int, extraWidth);
    QFETCH(QString, expected);
    QPushButton button(text);
    const int textWidth = QFontMetrics(button.font()).boundingRect(text.trimmed()).width();
    button.resize(textWidth + extraWidth, 30);
    ::padButtonText(&button);
    QCOMPARE(button.text(), expected);
    if (expected != text)
        QCOMPARE(button.size(), button.sizeHint());
}

void TestQtHelpers::windowStateSurvivesARestart()
{
    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());

    GuiChild first;
    first.process.setProcessEnvironment(env);
    QVERIFY(first.start({"geometry"}));
    QVERIFY(first.finish());
    QCOMPARE(first.lines.value(0), "restored false");
    const QString saved = first.lines.value(1);
    QVERIFY(saved.startsWith("geometry "));

    GuiChild second;
    second.process.setProcessEnvironment(env);
    QVERIFY(second.start({"geometry"}));
    QVERIFY(second.finish());
    QCOMPARE(second.lines.value(0), "restored true");
    QCOMPARE(second.lines.value(1), saved);
}

void TestQtHelpers::formatsQStringArguments_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "[{}]"
                           << "abc"
                           << "[abc]";
    QTest::newRow("right, width 8") << "[{:>8}]"
                                    << "abc"
                                    << "[     abc]";
    QTest::newRow("precision 1") << "[{:.1}]"
                                 << "abc"
                                 << "[a]";
    QTest::newRow("fill and left") << "[{:*<6}]"
                                   << "abc"
                                   << "[abc***]";
    QTest::newRow("centred") << "[{:^7}]"
                             << "abc"
                             << "[  abc  ]";
    // Width counts characters, not UTF-8 bytes.
    QTest::newRow("non-ASCII width") << "[{:>7}]"
                                     << "Größe"
                                     << "[  Größe]";
    QTest::newRow("non-ASCII precision") << "[{:.2}]"
                                         << "Öl-Tank"
                                         << "[Öl]";
    QTest::newRow("empty") << "[{:>2}]"
                           << ""
                           << "[  ]";
}

void TestQtHelpers::formatsQStringArguments()
{
    QFETCH(QString, format);
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    const std::string out = fmt::format(fmt::runtime(format.toStdString()), argument);
    QCOMPARE(QString::fromStdString(out), expected);
    // Width and precision may come from other arguments.
    QCOMPARE(QString::fromStdString(fmt::format("[{:>{}.{}}]", QString("abcdef"), 5, 2)), "[   ab]");
}

int main(int argc, char** argv)
{
    return runIsolatedTest<TestQtHelpers>(argc, argv);
}

#include "tst_QtHelpers.moc"
