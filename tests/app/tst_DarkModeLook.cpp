// Dark mode as the user reads it, in the real main window: an unticked box of
// the profiles tree and the program's links, measured in rendered pixels by
// their contrast (relative luminance) against what lies around them. The
// desktop's preference comes from a portal settings service of the test's
// own on a private session bus, so the mode flips as a desktop flips it.
#include "AboutDialog.h"
#include "AppSettings.h"
#include "IsolatedTestMain.h"
#include "MainWindowDriver.h"
#include "PrivateBus.h"
#include "ProgramFixture.h"
#include "QUpdateChecker.h"
#include "QuorbilanApp.h"
#include "SettingsKeys.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QStyledItemDelegate>
#include <QTest>

#include <cmath>
#include <memory>

using namespace TestSupport;

namespace {

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour)
{
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) + 0.0722 * linear(colour.blue());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

const QColor darkWindow(45, 45, 45);

bool isDark()
{
    return QGuiApplication::palette().color(QPalette::Window) == darkWindow;
}

// The item view's own option for a cell, as its delegate paints it.
struct CellOption : QStyledItemDelegate
{
    QStyleOptionViewItem of(const QTreeView* view, const QModelIndex& index) const
    {
        QStyleOptionViewItem option;
        option.initFrom(view->viewport());
        option.rect = view->visualRect(index);
        option.decorationSize = view->iconSize();
        initStyleOption(&option, index);
        return option;
    }
};

// An indicator's border, and the tree's pixels beside it on the left and
// right (a box fills its row's height, so above and below are other rows).
struct Box
{
    QList<QColor> outline;
    QList<QColor> beside;
    QImage image;
};

Box measureBox(ProfilesTree* tree, QTreeWidgetItem* item)
{
    const QStyleOptionViewItem option = CellOption().of(tree, tree->indexFromItem(item, 0));
    const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
    const QImage image = tree->viewport()->grab().toImage();
    Box measured;
    measured.image = image.copy(box.adjusted(-1, 0, 1, 0));
    for (int x = box.left(); x <= box.right(); ++x)
        measured.outline << image.pixelColor(x, box.top()) << image.pixelColor(x, box.bottom());
    for (int y = box.top(); y <= box.bottom(); ++y) {
        if (y > box.top() && y < box.bottom())
            measured.outline << image.pixelColor(box.left(), y) << image.pixelColor(box.right(), y);
        measured.beside << image.pixelColor(box.left() - 1, y) << image.pixelColor(box.right() + 1, y);
    }
    return measured;
}

// The worst contrast between a pixel of the outline and one around it.
double worstContrast(const Box& box)
{
    double worst = 1e9;
    for (const QColor& edge : box.outline) {
        for (const QColor& outside : box.beside)
            worst = std::min(worst, contrast(edge, outside));
    }
    return worst;
}

struct LinkPixels
{
    QColor background;
    int inLinkColour = 0;
    int inOtherColour = 0;
};

// How the label shows on its window: the most common colour is the
// background; the link's colour is counted, and the other mode's.
LinkPixels measureLink(QLabel* label, const QColor& link, const QColor& otherLink)
{
    const QImage image
        = label->window()->grab().toImage().copy(QRect(label->mapTo(label->window(), QPoint(0, 0)), label->size()));
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    }
    LinkPixels pixels;
    int most = 0;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        if (it.value() > most) {
            most = it.value();
            pixels.background = QColor::fromRgb(it.key());
        }
    }
    pixels.inLinkColour = counts.value(link.rgb());
    pixels.inOtherColour = counts.value(otherLink.rgb());
    return pixels;
}

} // namespace

class DarkModeLookTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<PrivateBus> bus;
    QProcess portal;
    std::unique_ptr<ProgramFixture> fixture;
    // The unticked box as it looked before dark mode was ever on.
    QImage lightBoxBefore;
    double lightContrastBefore = 0;
    QColor lightLink, darkLink;

    // The real window with two Chrome profiles, the second unticked; the
    // current row is the program's, away from it (a box fills its row's height).
    std::unique_ptr<MainWindow> openWindow()
    {
        auto window = std::make_unique<MainWindow>();
        window->resize(640, 420);
        window->show();
        MainWindowDriver w{window.get()};
        if (!QTest::qWaitFor([&] { return w.loaded(); }, 120000))
            return nullptr;
        w.tickGroup("Chrome", true);
        w.group("Chrome")->child(1)->setCheckState(0, Qt::Unchecked);
        w.tree()->setCurrentItem(w.group("Chrome"));
        return window;
    }

    // Flips the desktop's preference and waits until the program has followed.
    bool setDark(bool dark)
    {
        if (isDark() == dark)
            return true;
        portal.write(QByteArray("set org.freedesktop.appearance color-scheme ") + (dark ? "1" : "2") + "\n");
        portal.waitForBytesWritten();
        return QTest::qWaitFor([dark] { return isDark() == dark; }, 120000);
    }

private slots:
    void initTestCase()
    {
        bus = std::make_unique<PrivateBus>();
        QVERIFY2(!bus->address.isEmpty(), "dbus-daemon did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address.toUtf8());
        portal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        portal.start(FAKE_PORTAL, {"--color-scheme", "1"});
        QVERIFY(portal.waitForStarted());
        QVERIFY(portal.waitForReadyRead(60000));
        QCOMPARE(portal.readLine().trimmed(), QByteArray("ready"));
        QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.portal.Desktop"));

        fixture = std::make_unique<ProgramFixture>(dir.filePath("programs"));
        const QString chrome = fixture->localAppData() + "/Google/Chrome/User Data";
        QVERIFY(fixture->writeLocalState(chrome, {{"Default", "Person 1"}, {"Profile 1", "Work"}}));
        QVERIFY(fixture->makeChromiumProfile(chrome + "/Default"));
        QVERIFY(fixture->makeChromiumProfile(chrome + "/Profile 1"));
        fixture->setEnvironment();
        // No check of the schedule reaches out for a feed.
        QuorbilanApp::instance()->settings->setValueInt(SettingUpdateCheckerAuto, 0);

        // The light look as it is without dark mode.
        lightLink = QGuiApplication::palette().color(QPalette::Link);
        {
            std::unique_ptr<MainWindow> window = openWindow();
            QVERIFY(window);
            MainWindowDriver w{window.get()};
            const Box box = measureBox(w.tree(), w.group("Chrome")->child(1));
            lightBoxBefore = box.image;
            lightContrastBefore = worstContrast(box);
        }

        // The desktop prefers dark when the program turns dark mode on.
        QuorbilanApp::instance()->enableDarkMode(true);
        QVERIFY(isDark());
        darkLink = QGuiApplication::palette().color(QPalette::Link);
    }

    void cleanupTestCase()
    {
        portal.closeWriteChannel();
        if (!portal.waitForFinished(10000))
            portal.kill();
        portal.waitForFinished();
    }

    // Dark from the window's first frame: an unticked box stands out from
    // the tree. Light after the flip: the box is drawn as before dark mode.
    void uncheckedBoxReads()
    {
        QVERIFY(setDark(true));
        std::unique_ptr<MainWindow> window = openWindow();
        QVERIFY(window);
        MainWindowDriver w{window.get()};
        QTreeWidgetItem* unticked = w.group("Chrome")->child(1);
        QCOMPARE(unticked->checkState(0), Qt::Unchecked);

        const Box dark = measureBox(w.tree(), unticked);
        const QColor base = QGuiApplication::palette().color(QPalette::Base);
        for (const QColor& outside : dark.beside)
            QCOMPARE(outside, base);
        const double darkContrast = worstContrast(dark);
        qInfo("dark: outline %s on %s, contrast %.2f:1", qPrintable(dark.outline.first().name()),
              qPrintable(base.name()), darkContrast);
        QVERIFY2(darkContrast >= 3.0, qPrintable(QString::number(darkContrast)));

        QVERIFY(setDark(false));
        const Box light = measureBox(w.tree(), unticked);
        qInfo("light: contrast %.2f:1 (%.2f:1 before dark mode)", worstContrast(light), lightContrastBefore);
        QCOMPARE(light.image, lightBoxBefore);
    }

    // A link shown in one mode takes the other mode's link colour after a
    // flip, and back: the main window's update link and the About box's.
    void linksFollowTheMode_data()
    {
        QTest::addColumn<bool>("shownDark");
        QTest::newRow("shown in light") << false;
        QTest::newRow("shown in dark") << true;
    }
    void linksFollowTheMode()
    {
        QFETCH(bool, shownDark);
        QVERIFY(setDark(shownDark));
        auto window = std::make_unique<MainWindow>();
        window->show();
        QUpdateChecker* checker = QuorbilanApp::instance()->updateChecker;
        QVERIFY(checker);
        emit checker->updateAvailable("3.1");
        auto* updateLabel = window->findChild<QLabel*>("updateLabel");
        QVERIFY(updateLabel->isVisible());
        AboutDialog about(window.get());
        about.show();
        auto* aboutText = about.findChild<QLabel*>("textLabel");
        QVERIFY(aboutText);

        for (const bool dark : {!shownDark, shownDark}) {
            QVERIFY(setDark(dark));
            const QColor link = dark ? darkLink : lightLink;
            const QColor other = dark ? lightLink : darkLink;
            for (QLabel* label : {updateLabel, aboutText}) {
                const LinkPixels pixels = measureLink(label, link, other);
                const QString where = QString("%1 in %2 mode").arg(label->objectName(), dark ? "dark" : "light");
                QCOMPARE(pixels.background, QGuiApplication::palette().color(QPalette::Window));
                QVERIFY2(pixels.inLinkColour >= 10, qPrintable(where));
                QVERIFY2(pixels.inOtherColour == 0, qPrintable(where));
                const double measured = contrast(link, pixels.background);
                qInfo("%s: link %s on %s, contrast %.2f:1", qPrintable(where), qPrintable(link.name()),
                      qPrintable(pixels.background.name()), measured);
                QVERIFY2(measured >= 3.0, qPrintable(where));
            }
        }
    }
};

int main(int argc, char** argv)
{
    return runIsolatedTest<DarkModeLookTest, QuorbilanApp>(argc, argv, AppArguments::None);
}

#include "tst_DarkModeLook.moc"
