#include "QtHelpers.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QProcess>

#include <windows.h>

void selectInFileManager(const QString& path)
{
    QProcess::startDetached("explorer", {"/select,", QDir::toNativeSeparators(path)}, QString());
}

// The icon group with identifier 1 in the executable's resources.
QIcon loadAppIcon()
{
    QIcon icon;
    const HMODULE module = GetModuleHandleW(nullptr);
    for (int size : {16, 32, 64, 128}) {
        HICON handle
            = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_LOADTRANSPARENT));
        if (!handle)
            continue;
        icon.addPixmap(QPixmap::fromImage(QImage::fromHICON(handle)), QIcon::Normal, QIcon::Off);
        DestroyIcon(handle);
    }
    return icon;
}
