// A program with dark-mode support for tst_DarkMode: sets up a light look of
// its own, turns the support on with watching, and reports its look:
//   start support=0|1 watching=0|1   once, after enableDarkMode
//   changed                          for each darkModeChanged of the application,
//                                    followed by the look it left
//   look style=NAME saved=0|1        the style, and whether palette, style sheet
//                                    and style are the ones from before the switch
//   sheet TEXT                       the application style sheet
//   palette GROUP:ROLE=#AARRGGBB ... every entry of the application palette
//   marker                           the test's own setting changed
// after "start", each change and each marker. Ends when standard input closes.
#include "BusDelivery.h"
#include "QApplicationEx.h"
#include "QSystemNotification.h"
#include "QSystemNotificationPrivate.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QMetaEnum>
#include <QSocketNotifier>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The real style's name, also when a style sheet or a proxy wraps it.
QString styleName()
{
    const QStyle* style = qApp->style();
    while (style && style->name().isEmpty()) {
        if (const auto* proxy = qobject_cast<const QProxyStyle*>(style))
            style = proxy->baseStyle();
        else
            style = style->findChild<QStyle*>(QString(), Qt::FindDirectChildrenOnly);
    }
    return style ? style->name() : QString();
}

struct LightLook
{
    QPalette palette;
    QString styleSheet;
    QString style;
};

void reportLook(const LightLook& light)
{
    const QString style = styleName();
    const bool saved
        = QGuiApplication::palette() == light.palette && qApp->styleSheet() == light.styleSheet && style == light.style;
    say(QString("look style=%1 saved=%2").arg(style).arg(saved ? 1 : 0));
    say("sheet " + qApp->styleSheet());
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    const QMetaEnum groups = QMetaEnum::fromType<QPalette::ColorGroup>();
    QStringList entries;
    const QPalette palette = QGuiApplication::palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            if (!roles.valueToKey(role))
                continue;
            entries << QString("%1:%2=%3")
                           .arg(groups.valueToKey(group), roles.valueToKey(role),
                                palette.color(group, QPalette::ColorRole(role)).name(QColor::HexArgb));
        }
    }
    say("palette " + entries.join(' '));
}

// Hears the test's marker setting, which comes after the changes it tests.
class MarkerListener : public QObject
{
    Q_OBJECT

public:
    explicit MarkerListener(const LightLook& light)
        : light(light)
    {
        QDBusConnection::sessionBus().connect("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                              "org.freedesktop.portal.Settings", "SettingChanged", this,
                                              SLOT(settingChanged(QString, QString, QDBusVariant)));
    }

private slots:
    void settingChanged(const QString& group, const QString&, const QDBusVariant&)
    {
        if (group != "org.quorbilan.test")
            return;
        say("marker");
        reportLook(light);
    }

private:
    LightLook light;
};

} // namespace

int main(int argc, char** argv)
{
    QApplicationEx app(argc, argv, "DarkModeHelper");
    // A light look of the program's own, which light mode must bring back.
    app.setStyle(QStyleFactory::create("Windows"));
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Window, QColor(250, 240, 230));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(1, 2, 3));
    QApplication::setPalette(palette);
    app.setStyleSheet("QLabel { color: #123456; }");
    const LightLook light{QGuiApplication::palette(), app.styleSheet(), styleName()};

    app.enableDarkMode(true);
    auto* notification = app.findChild<QSystemNotification*>();
    if (!notification) {
        say("no notification");
        return 1;
    }
    // After the application's own connection, so the look has changed.
    QObject::connect(notification, &QSystemNotification::darkModeChanged, [&light] {
        say("changed");
        reportLook(light);
    });
    MarkerListener marker(light);
    // From here on the bus has every match rule of this process and delivers
    // in order, so no change the test announces can pass unseen or overtake
    // the marker sent after it.
    if (!waitUntilDeliveryIsLive(QDBusConnection::sessionBus())) {
        say("no live delivery");
        return 1;
    }
    say(QString("start support=%1 watching=%2")
            .arg(QApplicationEx::isDarkModeSupport() ? 1 : 0)
            .arg(notification->d_func()->darkModeWatcher.isRunning() ? 1 : 0));
    reportLook(light);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[256];
        if (read(STDIN_FILENO, chunk, sizeof(chunk)) <= 0)
            app.quit();
    });
    return app.exec();
}

#include "DarkModeHelper.moc"
