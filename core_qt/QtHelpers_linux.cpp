#include "QtHelpers.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QPixmap>
#include <QUrl>

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
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* self) {
        if (self->isError())
            openFolder(folder);
        self->deleteLater();
    });
}

// Linux executables carry no icon resource: the same drawings come from the
// framework's own resource bundle.
QIcon loadAppIcon()
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
