#include "QtHelpers.h"

#include "AppSettings.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMainWindow>
#include <QProcess>
#include <QUrl>

#ifdef _WIN32
#include <QImage>
#include <QPixmap>
#include <windows.h>
#else
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace {

const char keyWindowGeometry[] = "WindowGeometry";
const char keyWindowState[] = "WindowState";

void openFolder(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

#ifdef _WIN32
void selectInFileManager(const QString& path)
{
    QProcess::startDetached("explorer", {"/select,", QDir::toNativeSeparators(path)}, QString());
}
#else
// The freedesktop file-manager interface selects the item in its folder. The
// call is asynchronous so a file manager that is slow to start never blocks
// the window; when no file manager answers, the containing folder is opened.
void selectInFileManager(const QString& path)
{
    const QString folder = QFileInfo(path).path();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
        "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* self) {
        if (self->isError())
            openFolder(folder);
        self->deleteLater();
    });
}
#endif

} // namespace

void showInExplorer(const QString& path, bool openFolderIfMissing)
{
    if (QFileInfo::exists(path))
        selectInFileManager(path);
    else if (openFolderIfMissing)
        openFolder(QFileInfo(path).path());
}

#ifdef _WIN32
// The icon group with identifier 1 in the executable's resources.
static QIcon loadAppIcon()
{
    QIcon icon;
    const HMODULE module = GetModuleHandleW(nullptr);
    for (int size : {16, 32, 64, 128}) {
        HICON handle = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_LOADTRANSPARENT));
        if (!handle)
            continue;
        icon.addPixmap(QPixmap::fromImage(QImage::fromHICON(handle)), QIcon::Normal, QIcon::Off);
        DestroyIcon(handle);
    }
    return icon;
}
#else
// Linux executables carry no icon resource: the same drawings come from the
// framework's own resource bundle.
static QIcon loadAppIcon()
{
    Q_INIT_RESOURCE(AppIcon);
    QIcon icon;
    for (int size : {16, 32, 64, 128}) {
        const QPixmap pixmap(QString(":/quorbilan/icon/quorbilan-%1.png").arg(size));
        if (!pixmap.isNull())
            icon.addPixmap(pixmap, QIcon::Normal, QIcon::Off);
    }
    return icon;
}
#endif

QIcon appIcon()
{
    // Made under the static's one-time initialisation; when nothing loaded the
    // next call tries again (GUI thread only from then on).
    static QIcon icon = loadAppIcon();
    if (icon.isNull())
        icon = loadAppIcon();
    return icon;
}

void decreaseFontSize(QWidget* widget, double points)
{
    if (!widget)
        return;
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() - points);
    widget->setFont(font);
}

void padButtonText(QAbstractButton* button)
{
    const QString text = button->text();
    if (text.startsWith(' '))
        return;
    const int textWidth = QFontMetrics(button->font()).boundingRect(text.trimmed()).width();
    if (button->width() - textWidth < 20) {
        button->setText(QString(" %1 ").arg(text));
        button->adjustSize();
    }
}

bool restoreWindowState(QMainWindow* window, AppSettings* settings)
{
    settings->registerValueByteArray(keyWindowGeometry, QByteArray());
    settings->registerValueByteArray(keyWindowState, QByteArray());
    const QByteArray geometry = settings->valueByteArray(keyWindowGeometry);
    const QByteArray state = settings->valueByteArray(keyWindowState);
    if (!window->restoreGeometry(geometry))
        return false;
    return window->restoreState(state, 0);
}

void saveWindowState(QMainWindow* window, AppSettings* settings)
{
    settings->setValueByteArray(keyWindowGeometry, window->saveGeometry());
    settings->setValueByteArray(keyWindowState, window->saveState(0));
}
