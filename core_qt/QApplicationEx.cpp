#include "QApplicationEx.h"

#include "AppSettings.h"
#include "DarkModePlatform.h"
#include "LanguageTable.h"
#include "ProcessHelpers.h"
#include "QSystemNotification.h"
#include "CrashHandler.h"

#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QThread>

QApplicationEx::QApplicationEx(int& argc, char** argv, const QString& applicationName)
    : QApplication(argc, argv)
{
    QCoreApplication::setApplicationName(applicationName);

    // On Linux the native name is skipped for the main thread: it would rename
    // the whole process as ps shows it.
    QThread::currentThread()->setObjectName(QStringLiteral("mainThread"));
    ProcessHelpers::setCurrentThreadDescription(L"mainThread");

    initVersionInfo();

    // The update service registers its image bundle under ":/UpdateChecker/" here.
}

QApplicationEx::~QApplicationEx()
{
    releaseVersionInfo();
    if (updateChecker && releaseUpdateChecker)
        releaseUpdateChecker(updateChecker, exitCode);
    updateChecker = nullptr;
    delete languageTable;
    languageTable = nullptr;
    delete settings;
    settings = nullptr;
}

void QApplicationEx::initVersionInfo()
{
    versionInfo = new VersionNumbers(readOwnVersion());
    QCoreApplication::setApplicationVersion(QString("%2.%3.%4")
                                                .arg(versionInfo->versionMajor)
                                                .arg(versionInfo->versionMinor)
                                                .arg(versionInfo->versionBuild));
}

void QApplicationEx::releaseVersionInfo()
{
    delete versionInfo;
    versionInfo = nullptr;
}

void QApplicationEx::initSettings(const QString& applicationName, const QString& organizationName)
{
    AppSettings* old = settings;
    settings = new AppSettings(applicationName, organizationName);
    if (old != settings)
        delete old;
}

void QApplicationEx::initLanguage(const QString& builtinResource)
{
    LanguageTable* old = languageTable;
    languageTable = new LanguageTable(builtinResource);
    if (old != languageTable)
        delete old;
}

quint32 QApplicationEx::buildNumber() const
{
    return versionInfo ? versionInfo->revision : 0;
}

namespace {

const char darkModeSupportProperty[] = "DarkModeSupport";
const char darkModeWatchProperty[] = "DarkModeWatchChanges";

QPalette darkPalette()
{
    const QColor grey(45, 45, 45);
    const QColor disabled(127, 127, 127);
    const QColor blue(42, 130, 218);
    QPalette palette;
    palette.setColor(QPalette::Window, grey);
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(18, 18, 18));
    palette.setColor(QPalette::AlternateBase, grey);
    palette.setColor(QPalette::ToolTipBase, Qt::white);
    palette.setColor(QPalette::ToolTipText, Qt::white);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
    palette.setColor(QPalette::Button, grey);
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, blue);
    palette.setColor(QPalette::Highlight, blue);
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, disabled);
    return palette;
}

// Fusion outlines an unticked box in a shade of the window colour, which on
// the dark base all but vanishes; the outline here sits halfway between the
// text and the base, so the box reads in every state. A keyboard-focus
// outline stays Fusion's own.
class DarkStyle : public QProxyStyle
{
public:
    DarkStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_IndicatorCheckBox || !option || option->rect.isEmpty()
            || ((option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange)))
            return;
        const QColor text = option->palette.text().color();
        const QColor base = option->palette.base().color();
        const QColor outline((text.red() + base.red()) / 2, (text.green() + base.green()) / 2,
                             (text.blue() + base.blue()) / 2);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(outline, 1));
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

// A rich text's link colour is taken from the palette when the text is set;
// setting it again gives its links the colour of the current mode.
void recolourLinks()
{
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* label = qobject_cast<QLabel*>(widget);
        if (!label || label->text().isEmpty())
            continue;
        const Qt::TextFormat format = label->textFormat();
        if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(label->text())))
            continue;
        const QString text = label->text();
        // An unchanged text would not be taken again.
        label->clear();
        label->setText(text);
    }
}

// With a style sheet the application's style is a wrapper without a name
// around the real style, its child.
QString styleName(const QStyle* style)
{
    if (!style)
        return {};
    if (!style->name().isEmpty())
        return style->name();
    const QStyle* base = style->findChild<QStyle*>(QString(), Qt::FindDirectChildrenOnly);
    return base ? base->name() : QString();
}

} // namespace

void QApplicationEx::enableDarkMode(bool watch)
{
    setProperty(darkModeSupportProperty, 1);
    applyDarkMode(this, systemUsesDarkMode());
    if (!watch)
        return;
    setProperty(darkModeWatchProperty, 1);
    auto* notification = new QSystemNotification(this);
    // Connecting starts the notification's watcher.
    connect(
        notification, &QSystemNotification::darkModeChanged, notification,
        [this] { applyDarkMode(this, systemUsesDarkMode()); }, Qt::DirectConnection);
}

bool QApplicationEx::isDarkModeSupport()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->property(darkModeSupportProperty).isValid();
}

bool QApplicationEx::isDarkModeWatchChanges()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->property(darkModeWatchProperty).isValid();
}

void QApplicationEx::applyDarkMode(QApplication* app, bool dark)
{
    if (!app || !DarkModePlatform::supported())
        return;
    // The look set up before dark mode was first applied, also when the
    // system is dark at start.
    static const QPalette lightPalette = QGuiApplication::palette();
    static const QString lightStyleSheet = app->styleSheet();
    static const QString lightStyle = styleName(app->style());

    DarkModePlatform::allowDarkModeForApp(dark);
    if (dark) {
        app->setStyle(new DarkStyle);
        QApplication::setPalette(darkPalette());
        app->setStyleSheet(
            QStringLiteral("QToolTip { color: #ffffff; background-color: #2a82da; border: 1px solid white; }"));
    } else {
        if (QStyle* style = DarkModePlatform::createLightStyle(lightStyle))
            app->setStyle(style);
        QApplication::setPalette(lightPalette);
        app->setStyleSheet(lightStyleSheet);
    }
    recolourLinks();
}

void QApplicationEx::setupCrashHandler(const QString& supportEmail, int iconId)
{
    CrashHandler::setIconId(iconId);
    CrashHandler::setAppName(QCoreApplication::applicationName().toStdWString().c_str());
    const QString version = QStringLiteral("%1.%2").arg(QCoreApplication::applicationVersion()).arg(buildNumber());
    CrashHandler::setAppVersion(version.toStdWString().c_str());
    CrashHandler::setSupportEmail(supportEmail.toStdWString().c_str());
    CrashHandler::install();
}
